// Whole-file reads and crash-safe rewrites for the application's small files
// (Config.ini, the recent-number file). A rewrite holds an exclusive flock on a
// lock file beside the target, re-reads the target under the lock, writes a
// temporary file in the same folder, syncs it and renames it over the target,
// so the target is always either the old or the new file, with mode 0600.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace dialdeck {

// Files larger than this are not ours to rewrite.
inline constexpr size_t k_file_size_limit = 1 << 20;

// The file's bytes; nothing when it is missing, unreadable or above the limit.
std::optional<std::string> read_whole_file(const std::string& path);

// The change gets the current bytes (nothing when the file is missing) and
// returns the new bytes, or nothing to leave the file alone (false is returned).
// An existing file that cannot be read is never replaced.
using file_change = std::function<std::optional<std::string>(const std::optional<std::string>&)>;
bool rewrite_file(const std::string& path, const file_change& change);

// Replaces the file's whole content.
bool write_whole_file(const std::string& path, const std::string& bytes);

}  // namespace dialdeck
