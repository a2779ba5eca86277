// Accepted account-number prefixes, stored reversed and letter-coded.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dialdeck {

// Each entry reversed, then A/Z 9, B/Y 8 ... J/Q 0 in either case; empty
// entries are dropped, as they would accept every account.
std::vector<std::string> decode_prefixes(std::string_view stored);

// Whether the account begins with one of the prefixes, ignoring ASCII case.
bool prefix_accepts(const std::vector<std::string>& prefixes, std::string_view account);

}  // namespace dialdeck
