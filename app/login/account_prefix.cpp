#include "account_prefix.h"

#include <algorithm>

#include "login_settings.h"

namespace dialdeck {

namespace {

char decode_letter(char c) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'J') return static_cast<char>('9' - (c - 'A'));
    if (c >= 'Q' && c <= 'Z') return static_cast<char>('0' + (c - 'Q'));
    return c;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::vector<std::string> decode_prefixes(std::string_view stored) {
    std::vector<std::string> out;
    for (std::string entry : split_fields(stored)) {
        if (entry.empty()) continue;
        std::reverse(entry.begin(), entry.end());
        std::transform(entry.begin(), entry.end(), entry.begin(), decode_letter);
        out.push_back(std::move(entry));
    }
    return out;
}

bool prefix_accepts(const std::vector<std::string>& prefixes, std::string_view account) {
    return std::any_of(prefixes.begin(), prefixes.end(), [&](const std::string& prefix) {
        return account.size() >= prefix.size() &&
               std::equal(prefix.begin(), prefix.end(), account.begin(),
                          [](char a, char b) { return lower(a) == lower(b); });
    });
}

}  // namespace dialdeck
