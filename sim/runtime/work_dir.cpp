#include "work_dir.h"

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>

namespace orvy::sim {
namespace {

int remove_entry(const char *path, const struct stat *, int, struct FTW *)
{
    ::remove(path);
    return 0;
}

}  // namespace

std::unique_ptr<WorkDir> WorkDir::create(std::string &error)
{
    const char *tmp = getenv("TMPDIR");
    std::string pattern = (tmp && *tmp) ? tmp : "/tmp";
    pattern += "/orvy-sim.XXXXXX";
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

void remove_tree(const char *path)
{
    nftw(path, remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace orvy::sim
