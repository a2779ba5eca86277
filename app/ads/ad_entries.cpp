#include "ad_entries.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "app_folder.h"
#include "app_settings.h"
#include "fields.h"
#include "settings_keys.h"

namespace dialdeck {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

int display_seconds(std::string_view text) {
    text = trimmed(text);
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range && !text.empty() && text.front() != '-') {
        return k_ad_max_seconds;
    }
    if (error != std::errc() || end != text.data() + text.size()) value = 0;
    return static_cast<int>(std::clamp<long long>(value, k_ad_min_seconds, k_ad_max_seconds));
}

void add_entry(std::vector<ad_entry>& out, std::string_view picture, std::string_view seconds,
               std::string_view link, const std::string& folder) {
    picture = trimmed(picture);
    if (picture.empty()) return;
    ad_entry entry;
    entry.picture = is_web_picture(picture) ? std::string(picture)
                                            : application_file(folder, std::string(picture));
    entry.seconds = display_seconds(seconds);
    entry.link = std::string(trimmed(link));
    out.push_back(std::move(entry));
}

}  // namespace

bool is_web_picture(std::string_view picture) {
    auto starts = [&](std::string_view prefix) {
        return picture.size() >= prefix.size() &&
               std::equal(prefix.begin(), prefix.end(), picture.begin(),
                          [](char a, char b) { return a == std::tolower((unsigned char)b); });
    };
    return starts("http://") || starts("https://");
}

std::vector<ad_entry> ad_entries(std::string_view advertisements,
                                 const std::vector<std::string>& ads, const std::string& folder) {
    std::vector<ad_entry> out;
    if (!trimmed(advertisements).empty()) {
        const auto fields = split_views(advertisements);
        // A picture without its time still shows, for the shortest time.
        for (size_t i = 0; i < fields.size(); i += 2) {
            add_entry(out, fields[i], i + 1 < fields.size() ? fields[i + 1] : "", "", folder);
        }
    }
    for (const std::string& value : ads) {
        if (trimmed(value).empty()) continue;
        const auto fields = split_views(value);
        // A link may itself hold commas: it is the rest of the value.
        std::string_view link;
        if (fields.size() > 2) {
            const size_t start = fields[2].data() - value.data();
            link = std::string_view(value).substr(start);
        }
        add_entry(out, fields[0], fields.size() > 1 ? fields[1] : "", link, folder);
    }
    return out;
}

std::vector<ad_entry> ad_entries(const app_settings& settings) {
    std::vector<std::string> ads;
    for (int n = 1; n <= k_ads_key_count; ++n)
        ads.push_back(settings.value(k_section_ads, ad_key(n)));
    return ad_entries(settings.dialdeck("Advertisements"), ads, settings.folder());
}

}  // namespace dialdeck
