// The settings record: every key of the settings file, read once at start-up
// and unscrambled, with scrambled writes back to the file.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings_file.h"

namespace dialdeck {

inline constexpr std::string_view k_config_missing_caption = "Config.INI File Missing";
inline constexpr std::string_view k_config_missing_text =
    "Make sure the file Config.ini exists under the folder Config.\n"
    "Config folder is located where you installed the Dialdeck.\n"
    "Else certain parameters are missing in the Config.ini file.\n\n"
    "Re-installation of this application might help, otherwise \n"
    "please contact your vendor.";
// A missing file or section ends the program quietly, after the message.
inline constexpr int k_config_missing_exit_code = 0;

// The settings file below an application folder ("/" terminated).
std::string config_path(const std::string& folder);

class app_settings {
  public:
    // Nothing when a required section is missing or holds no key: the caller
    // shows the message above and ends with its exit code.
    static std::optional<app_settings> load(const std::string& folder);

    // The plain value read at start-up or last written; "" for an unknown key.
    const std::string& value(std::string_view section, std::string_view key) const;
    const std::string& dialdeck(std::string_view key) const { return value("Dialdeck", key); }
    // The plain value as the file holds it now.
    std::string reread(std::string_view section, std::string_view key) const;
    // Scrambles and writes; the record follows only a successful write.
    bool write(std::string_view section, std::string_view key, std::string_view plain);

    // The Phone section's keys and values in reading order.
    std::vector<std::pair<std::string, std::string>> phone_values() const;
    // Section names, then the raw lines of the first four sections.
    const std::vector<std::string>& scratch_lines() const { return m_scratch; }

    const std::string& folder() const { return m_folder; }
    const settings_file& file() const { return m_file; }

  private:
    app_settings(std::string folder);

    std::string m_folder;
    settings_file m_file;
    std::map<std::pair<std::string, std::string>, std::string> m_values;
    std::vector<std::string> m_scratch;
};

}  // namespace dialdeck
