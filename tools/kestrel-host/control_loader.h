// Finds and loads libkestrel.so the way the application does: --control,
// KESTREL_CONTROL, the executable's folder, ../lib/ beside it, the library path.
#pragma once

#include <QString>

#include "kestrel/kestrel.h"

namespace kestrel_host {

// The control of the first class, or null with the reason in error. The
// library stays loaded for the life of the process.
IActiveXPhone* load_control(const QString& explicit_file, QString& error);

}  // namespace kestrel_host
