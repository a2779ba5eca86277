#include "recent_numbers.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "atomic_file.h"
#include "dressing.h"

namespace dialdeck {

namespace {

bool same_number(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool clean(std::string_view entry) {
    return !entry.empty() && std::none_of(entry.begin(), entry.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
}

std::string path_in(const std::string& folder) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    return path + std::string(k_recent_file_name);
}

}  // namespace

std::vector<std::string> parse_recent_numbers(std::string_view text) {
    std::vector<std::string> numbers;
    if (text.size() > k_recent_file_limit) {
        // An entry cut at the limit would dial a wrong number: it ends at the last ";".
        text = text.substr(0, k_recent_file_limit);
        const size_t last = text.rfind(';');
        text = text.substr(0, last == std::string_view::npos ? 0 : last);
    }
    for (std::string entry : split_fields(text, ';')) {
        // The line break of ";\n" (or ";\r\n") starts the next entry.
        const size_t first = entry.find_first_not_of("\r\n");
        entry.erase(0, first == std::string::npos ? entry.size() : first);
        if (!clean(entry)) continue;
        numbers.push_back(std::move(entry));
        if (numbers.size() == k_recent_entries) break;
    }
    return numbers;
}

std::string recent_numbers_text(const std::vector<std::string>& numbers) {
    std::string text;
    size_t kept = 0;
    for (const std::string& number : numbers) {
        if (kept == k_recent_entries || !clean(number)) continue;
        const std::string entry = number + ";\n";
        if (text.size() + entry.size() > k_recent_file_limit) break;
        text += entry;
        ++kept;
    }
    return text;
}

std::vector<std::string> merge_recent_numbers(const std::vector<std::string>& list,
                                              std::string_view last_ten) {
    std::vector<std::string> merged = list;
    for (const std::string& number : split_fields(last_ten, ';')) {
        if (!clean(number)) continue;
        std::erase_if(merged, [&](const std::string& old) { return same_number(old, number); });
        merged.insert(merged.begin(), number);
    }
    if (merged.size() > k_recent_entries) merged.resize(k_recent_entries);
    return merged;
}

std::vector<std::string> load_recent_numbers(const std::string& folder) {
    const std::string path = path_in(folder);
    const auto text = read_whole_file(path);
    if (text) return parse_recent_numbers(*text);
    // Only a missing file is made; an unreadable one is left as it is.
    if (::access(path.c_str(), F_OK) != 0 && errno == ENOENT) write_whole_file(path, "");
    return {};
}

bool save_recent_numbers(const std::string& folder, const std::vector<std::string>& numbers) {
    return write_whole_file(path_in(folder), recent_numbers_text(numbers));
}

}  // namespace dialdeck
