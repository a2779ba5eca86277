#include "version_compare.h"

#include <climits>
#include <vector>

#include "fields.h"

namespace dialdeck {

namespace {

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

long long version_part(std::string_view part) {
    std::size_t i = 0;
    while (i < part.size() && blank(part[i])) ++i;
    bool negative = false;
    if (i < part.size() && (part[i] == '+' || part[i] == '-')) negative = part[i++] == '-';
    long long value = 0;
    for (; i < part.size() && part[i] >= '0' && part[i] <= '9'; ++i) {
        const int digit = part[i] - '0';
        if (value > (INT_MAX - digit) / 10) {
            value = static_cast<long long>(INT_MAX) + 1;  // saturate; one past for INT_MIN
            break;
        }
        value = value * 10 + digit;
    }
    if (negative) return value > INT_MAX ? INT_MIN : -value;
    return value > INT_MAX ? INT_MAX : value;
}

int compare_versions(std::string_view a, std::string_view b, char sep, int count) {
    const auto left = split_views(a, sep);
    const auto right = split_views(b, sep);
    if (count < 0 || left.size() != static_cast<std::size_t>(count) ||
        right.size() != static_cast<std::size_t>(count))
        return -2;
    for (std::size_t i = 0; i < left.size(); ++i) {
        const long long x = version_part(left[i]);
        const long long y = version_part(right[i]);
        if (x != y) return x > y ? 1 : -1;
    }
    return 0;
}

}  // namespace dialdeck
