#include "ca_file.h"

#include "app_folder.h"
#include "app_settings.h"

namespace dialdeck {

std::string ca_file_path(const app_settings& settings) {
    const std::string& setting = settings.dialdeck("CAFile");
    if (setting.empty()) return {};
    return application_file(settings.folder(), setting);
}

}  // namespace dialdeck
