// The advertisement list: which pictures rotate in the main window's picture
// area, for how long, and where a click on each leads.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dialdeck {

class app_settings;

struct ad_entry {
    // An http(s) URL as written, or a file path made absolute.
    std::string picture;
    int seconds = 1;
    // Opened on a click; empty: the picture leads nowhere.
    std::string link;

    bool operator==(const ad_entry&) const = default;
};

// A zero or unreadable time would spin the rotation, a huge one overflow its timer.
inline constexpr int k_ad_min_seconds = 1;
inline constexpr int k_ad_max_seconds = 24 * 60 * 60;

// The "picture,seconds" pairs of `advertisements`, then each non-empty value of
// `ads` ("picture,seconds[,link]", Ad001 first). File names are taken below
// `folder`, as settings name files. Items without a picture are dropped.
std::vector<ad_entry> ad_entries(std::string_view advertisements,
                                 const std::vector<std::string>& ads, const std::string& folder);

// The same from the settings: `Advertisements` and the `Ads` section.
std::vector<ad_entry> ad_entries(const app_settings& settings);

bool is_web_picture(std::string_view picture);

}  // namespace dialdeck
