// The recent-number list kept in the application folder's ayahuasca.dat:
// numbers separated by ";" or ";\n", newest first, within 512 bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dialdeck {

inline constexpr size_t k_recent_file_limit = 512;
inline constexpr size_t k_recent_entries = 10;
inline constexpr std::string_view k_recent_file_name = "ayahuasca.dat";

// Only the first 512 bytes count, up to their last ";"; empty entries and entries with control
// characters are dropped; at most ten are kept.
std::vector<std::string> parse_recent_numbers(std::string_view text);

// The file's text: the newest entries that fit in 512 bytes whole.
std::string recent_numbers_text(const std::vector<std::string>& numbers);

// The control's last-ten text (";"-separated, oldest first) merged in:
// each dialled number moves to the front, equal numbers (ignoring case) once.
std::vector<std::string> merge_recent_numbers(const std::vector<std::string>& list,
                                              std::string_view last_ten);

// The file below the folder; a missing file is created empty.
std::vector<std::string> load_recent_numbers(const std::string& folder);
bool save_recent_numbers(const std::string& folder, const std::vector<std::string>& numbers);

}  // namespace dialdeck
