#include "output_target.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace orvy::metrics {
namespace {

std::string not_regular(mode_t mode)
{
    const char *kind = "a special file";
    if (S_ISCHR(mode)) kind = "a character device";
    if (S_ISBLK(mode)) kind = "a block device";
    if (S_ISFIFO(mode)) kind = "a FIFO";
    if (S_ISSOCK(mode)) kind = "a socket";
    if (S_ISDIR(mode)) kind = "a directory";
    return std::string(kind) + ", not a regular file";
}

OutputTarget refused(const std::string &what)
{
    return {"", false,
            "refused: " + what +
                "; left as it is (without --output the metrics go to standard output)"};
}

OutputTarget cannot(const char *step)
{
    return {"", false, std::string(step) + ": " + std::strerror(errno)};
}

// Whether resolving `path` passes through a link of /proc that stands for an
// open file, as /dev/stdout does: such a name means "my standard output", and
// replacing the file behind it would drop what the caller's redirection holds
// (">>"). Only openat2() can tell; without it (an old kernel, a sandbox that
// refuses it) this answers no.
bool through_open_file_link(const std::string &path)
{
#ifdef SYS_openat2
    open_how how{};
    how.flags = O_PATH | O_CLOEXEC;
    how.resolve = RESOLVE_NO_MAGICLINKS;
    const long fd = syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
    if (fd >= 0) {
        close(static_cast<int>(fd));
        return false;
    }
    return errno == ELOOP;
#else
    (void)path;
    return false;
#endif
}

struct Free {
    void operator()(char *text) const { std::free(text); }
};

}  // namespace

OutputTarget output_target(const std::string &path)
{
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return {path, false, ""};
        return cannot("cannot look at it");
    }
    if (S_ISREG(info.st_mode)) return {path, true, ""};
    if (!S_ISLNK(info.st_mode)) return refused(not_regular(info.st_mode));

    // A symbolic link: what it names decides, and that file is replaced in
    // its own directory.
    if (stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return refused("a symbolic link to a missing file");
        return cannot("cannot follow the link");
    }
    if (through_open_file_link(path)) {
        return refused("a link to a process's open file, as /dev/stdout is");
    }
    if (!S_ISREG(info.st_mode)) return refused("a symbolic link to " + not_regular(info.st_mode));
    const std::unique_ptr<char, Free> named(realpath(path.c_str(), nullptr));
    if (!named) return cannot("cannot resolve the link");
    // The name must still be the file looked at, not one that took its place.
    struct stat named_info {};
    if (lstat(named.get(), &named_info) != 0 || !S_ISREG(named_info.st_mode) ||
        named_info.st_dev != info.st_dev || named_info.st_ino != info.st_ino) {
        return {"", false, "refused: the file it names changed while it was looked at"};
    }
    return {named.get(), true, ""};
}

}  // namespace orvy::metrics
