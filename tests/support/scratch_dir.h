// A private directory below $TMPDIR (or /tmp, or a given parent) for one
// test, removed with everything in it when the test is done.
#pragma once

#include <string>

namespace orvy::test {

class ScratchDir {
public:
    // `prefix` names the directory after its user, so a leftover says who left it.
    explicit ScratchDir(const std::string &prefix = "orvy-test", const std::string &parent = {});
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    const std::string &path() const { return path_; }
    // Absolute path of `relative` inside the directory (it need not exist).
    std::string path(const std::string &relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

}  // namespace orvy::test
