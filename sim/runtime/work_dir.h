// The simulator's scratch directory below $TMPDIR; umockdev's test bed root
// lives inside it, so removing it removes everything the run left behind.
#pragma once

#include <memory>
#include <string>

namespace orvy::sim {

class WorkDir {
public:
    static std::unique_ptr<WorkDir> create(std::string &error);
    ~WorkDir() { remove(); }
    WorkDir(const WorkDir &) = delete;
    WorkDir &operator=(const WorkDir &) = delete;

    const std::string &path() const { return path_; }
    void remove();

private:
    explicit WorkDir(std::string path) : path_(std::move(path)) {}
    std::string path_;
    bool removed_ = false;
};

// Deletes a directory tree without following symbolic links.
void remove_tree(const char *path);

}  // namespace orvy::sim
