#include "atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <utility>

namespace dialdeck {

namespace {

// Temporary files are NAME.tmp-XXXXXX beside their target.
constexpr char k_temporary_infix[] = ".tmp-";

class unique_fd {
  public:
    explicit unique_fd(int fd) : m_fd(fd) {}
    ~unique_fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    unique_fd(const unique_fd&) = delete;
    unique_fd& operator=(const unique_fd&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

  private:
    int m_fd;
};

std::string folder_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool write_all(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Reads the file; "missing" is told apart from "cannot read".
enum class read_status { ok, missing, failed };

read_status read_file(const std::string& path, std::string& out) {
    unique_fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return errno == ENOENT ? read_status::missing : read_status::failed;
    out.clear();
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return read_status::failed;
        }
        if (n == 0) return read_status::ok;
        if (out.size() + static_cast<size_t>(n) > k_file_size_limit) return read_status::failed;
        out.append(buffer, static_cast<size_t>(n));
    }
}

// A writer killed between creating and renaming its temporary file leaves it
// behind; under the lock no other writer is active, so every such file is stale.
void remove_stale_temporaries(const std::string& path) {
    const std::string folder = folder_of(path);
    const std::string prefix = path.substr(path.rfind('/') + 1) + k_temporary_infix;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() == prefix.size() + 6 && name.substr(0, prefix.size()) == prefix) {
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

bool replace_with(const std::string& path, const std::string& bytes) {
    std::string temp = path + k_temporary_infix + "XXXXXX";
    unique_fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) return false;
    const bool written = ::fchmod(fd.get(), 0600) == 0 && write_all(fd.get(), bytes) &&
                         ::fsync(fd.get()) == 0 && ::close(fd.release()) == 0;
    if (!written || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself must reach the disk before the write counts as done.
    unique_fd folder(::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) ::fsync(folder.get());
    return true;
}

}  // namespace

std::optional<std::string> read_whole_file(const std::string& path) {
    std::string bytes;
    if (read_file(path, bytes) != read_status::ok) return std::nullopt;
    return bytes;
}

bool rewrite_file(const std::string& path, const file_change& change) {
    unique_fd lock(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.get() < 0) return false;
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) return false;
    }
    std::string bytes;
    const read_status status = read_file(path, bytes);
    if (status == read_status::failed) return false;
    const auto changed =
        change(status == read_status::ok ? std::optional<std::string>(bytes) : std::nullopt);
    if (!changed) return false;
    remove_stale_temporaries(path);
    return replace_with(path, *changed);  // the lock ends when its file closes
}

bool write_whole_file(const std::string& path, const std::string& bytes) {
    return rewrite_file(path, [&](const std::optional<std::string>&) { return bytes; });
}

}  // namespace dialdeck
