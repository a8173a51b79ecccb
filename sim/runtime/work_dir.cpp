#include "work_dir.h"

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>

namespace orvy::sim {
namespace {

int remove_entry(const char *path, const struct stat *, int, struct FTW *)
{
    ::remove(path);
    return 0;
}

// umockdev listens on one unix socket per emulated node, deep below our
// directory; a socket path longer than sun_path cannot be bound. A $TMPDIR
// too deep for that (a build tree in a long CI path) gives way to /tmp.
std::string parent_directory()
{
    const char *tmp = getenv("TMPDIR");
    const std::string wanted = (tmp && *tmp) ? tmp : "/tmp";
    const std::size_t deepest_socket =
        wanted.size() + sizeof "/orvy-sim.XXXXXX/umockdev.XXXXXX/ioctl/dev/bus/usb/001/011" - 1;
    return deepest_socket < sizeof(sockaddr_un{}.sun_path) ? wanted : "/tmp";
}

}  // namespace

std::unique_ptr<WorkDir> WorkDir::create(std::string &error)
{
    std::string pattern = parent_directory() + "/orvy-sim.XXXXXX";
    if (!mkdtemp(pattern.data())) {
        error = "cannot create a directory in " + pattern.substr(0, pattern.rfind('/')) + ": " +
                std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<WorkDir>(new WorkDir(pattern));
}

void WorkDir::remove()
{
    if (removed_) return;
    removed_ = true;
    remove_tree(path_.c_str());
}

void remove_tree(const char *path) { nftw(path, remove_entry, 16, FTW_DEPTH | FTW_PHYS); }

}  // namespace orvy::sim
