// Version strings such as "2.0.0.6", compared part by part as numbers.
#pragma once

#include <string_view>

namespace dialdeck {

inline constexpr std::string_view k_running_version = "2.0.0.6";

// -2 when either string does not split into exactly count parts at sep;
// else 1, -1 or 0 by the first differing part. Parts read as atoi reads
// them (leading blanks, sign, digits up to the first other character),
// saturating instead of overflowing.
int compare_versions(std::string_view a, std::string_view b, char sep, int count);

// One part as atoi would read it, without its undefined overflow.
long long version_part(std::string_view part);

}  // namespace dialdeck
