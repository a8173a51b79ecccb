#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "output_target.h"

namespace orvy::metrics {
namespace {

// The temporary file until it has been renamed into place.
class TemporaryFile {
public:
    // ".<name>.XXXXXX" beside `path`: hidden, and without the ".prom" ending
    // that the textfile collector looks for.
    explicit TemporaryFile(const std::string &path)
    {
        const auto slash = path.rfind('/');
        const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        const std::string pattern = directory + "." + name + ".XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        fd_ = mkstemp(buffer.data());
        if (fd_ >= 0) name_ = buffer.data();
    }
    ~TemporaryFile()
    {
        if (fd_ >= 0) ::close(fd_);
        if (!name_.empty()) unlink(name_.c_str());
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    int fd() const { return fd_; }
    const std::string &name() const { return name_; }

    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }
    // Once renamed, the file is no longer ours to remove.
    void release() { name_.clear(); }

private:
    int fd_ = -1;
    std::string name_;
};

bool write_all(int fd, const std::string &contents)
{
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t n = write(fd, contents.data() + written, contents.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

std::string failure(const char *step) { return std::string(step) + ": " + std::strerror(errno); }

std::string renamed(const std::string &from, const std::string &to)
{
    return rename(from.c_str(), to.c_str()) == 0 ? "" : failure("cannot rename");
}

// Renames `from` over `to` only while `to` is still missing or a regular file
// of ours to replace: it is looked at again just before. A missing name is
// taken with RENAME_NOREPLACE, so that what appeared there meanwhile is looked
// at first; for an existing file the kernel has no such condition.
std::string rename_into_place(const std::string &from, const std::string &to)
{
    for (int look = 0; look < 2; ++look) {
        const OutputTarget now = output_target(to);
        if (!now.refusal.empty()) return now.refusal;
        if (now.path != to) return "refused: it became a symbolic link meanwhile";
        if (now.exists) return renamed(from, to);
        if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
            return "";
        }
        // A file system without RENAME_NOREPLACE: it was missing a moment ago.
        if (errno == EINVAL) return renamed(from, to);
        if (errno != EEXIST) return failure("cannot rename");
    }
    return "cannot rename: it keeps coming and going";
}

}  // namespace

std::string replace_file(const std::string &path, const std::string &contents)
{
    const OutputTarget target = output_target(path);
    if (!target.refusal.empty()) return target.refusal;
    TemporaryFile file(target.path);
    if (file.fd() < 0) return failure("cannot create a temporary file beside it");
    if (!write_all(file.fd(), contents)) return failure("cannot write");
    if (fchmod(file.fd(), 0644) != 0) return failure("cannot set its mode");
    if (fsync(file.fd()) != 0) return failure("cannot sync");
    if (!file.close()) return failure("cannot close");
    if (std::string refusal = rename_into_place(file.name(), target.path); !refusal.empty()) {
        return refusal;
    }
    file.release();
    return "";
}

}  // namespace orvy::metrics
