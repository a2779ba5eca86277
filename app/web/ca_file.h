// The CAFile setting as a path for the HTTPS requests.
#pragma once

#include <string>

namespace dialdeck {

class app_settings;

// Empty when unset (system CAs only); "\" separates folders and a relative
// name sits below the application folder.
std::string ca_file_path(const app_settings& settings);

}  // namespace dialdeck
