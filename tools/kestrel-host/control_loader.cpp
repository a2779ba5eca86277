#include "control_loader.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <QStringList>

namespace kestrel_host {

namespace {

constexpr char k_library[] = "libkestrel.so";

QStringList candidates(const QString& explicit_file) {
    if (!explicit_file.isEmpty()) return {explicit_file};
    const QString from_env = qEnvironmentVariable("KESTREL_CONTROL");
    if (!from_env.isEmpty()) return {from_env};
    const QDir here(QCoreApplication::applicationDirPath());
    // The bare name last: the dynamic loader searches the library path.
    return {here.filePath(k_library), here.filePath(QString("../lib/") + k_library), k_library};
}

}  // namespace

IActiveXPhone* load_control(const QString& explicit_file, QString& error) {
    QStringList reasons;
    for (const QString& file : candidates(explicit_file)) {
        // Never unloaded: the control's code runs until the process ends.
        auto* library = new QLibrary(file);
        if (!library->load()) {
            reasons << library->errorString();
            delete library;
            continue;
        }
        auto create =
            reinterpret_cast<KestrelCreateInstanceFn>(library->resolve("KestrelCreateInstance"));
        if (!create) {
            reasons << file + ": no KestrelCreateInstance";
            continue;
        }
        IActiveXPhone* control = nullptr;
        const int32_t hr = create(KESTREL_CLASS_DUAL, &control);
        if (hr != KESTREL_S_OK || !control) {
            reasons << QString("%1: KestrelCreateInstance returned 0x%2")
                           .arg(file)
                           .arg(static_cast<uint32_t>(hr), 8, 16, QChar('0'));
            continue;
        }
        return control;
    }
    error = reasons.join("; ");
    return nullptr;
}

}  // namespace kestrel_host
