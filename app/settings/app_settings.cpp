#include "app_settings.h"

#include "atomic_file.h"
#include "ini_text.h"
#include "scrambler.h"
#include "settings_keys.h"

namespace dialdeck {

namespace {

template <size_t N>
void read_section(const ini_text& ini, std::string_view section,
                  const std::array<std::string_view, N>& keys,
                  std::map<std::pair<std::string, std::string>, std::string>& values) {
    for (std::string_view key : keys) {
        values[{std::string(section), std::string(key)}] =
            scramble(ini.read_value(section, scramble(key)));
    }
}

}  // namespace

std::string config_path(const std::string& folder) {
    return folder + "config/Config.ini";
}

app_settings::app_settings(std::string folder)
    : m_folder(std::move(folder)), m_file(config_path(m_folder)) {}

std::optional<app_settings> app_settings::load(const std::string& folder) {
    app_settings settings(folder);
    // One snapshot for the whole start-up read, so it sees one version of the file.
    const auto bytes = read_whole_file(settings.m_file.path());
    if (!bytes) return std::nullopt;
    const ini_text ini(*bytes);
    for (std::string_view section : k_required_sections) {
        if (!ini.has_section(section)) return std::nullopt;
    }

    const auto names = ini.section_names();
    settings.m_scratch = names;
    for (size_t i = 0; i < names.size() && i < 4; ++i) {
        for (auto& line : ini.section_lines(names[i])) settings.m_scratch.push_back(line);
    }

    read_section(ini, k_section_dialdeck, k_dialdeck_keys, settings.m_values);
    read_section(ini, k_section_phone, k_phone_keys, settings.m_values);
    for (int n = 1; n <= k_ads_key_count; ++n) {
        const std::string key = ad_key(n);
        settings.m_values[{std::string(k_section_ads), key}] =
            scramble(ini.read_value(k_section_ads, scramble(key)));
    }
    return settings;
}

const std::string& app_settings::value(std::string_view section, std::string_view key) const {
    static const std::string empty;
    const auto it = m_values.find({std::string(section), std::string(key)});
    return it == m_values.end() ? empty : it->second;
}

std::string app_settings::reread(std::string_view section, std::string_view key) const {
    return scramble(m_file.read_value(section, scramble(key)));
}

bool app_settings::write(std::string_view section, std::string_view key, std::string_view plain) {
    if (!m_file.write_value(section, scramble(key), scramble(plain))) return false;
    m_values[{std::string(section), std::string(key)}] = std::string(plain);
    return true;
}

std::vector<std::pair<std::string, std::string>> app_settings::phone_values() const {
    std::vector<std::pair<std::string, std::string>> out;
    for (std::string_view key : k_phone_keys) {
        out.emplace_back(std::string(key), value(k_section_phone, key));
    }
    return out;
}

}  // namespace dialdeck
