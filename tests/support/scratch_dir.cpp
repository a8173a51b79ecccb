#include "scratch_dir.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace orvy::test {

ScratchDir::ScratchDir(const std::string &prefix, const std::string &parent)
{
    const char *tmp = std::getenv("TMPDIR");
    const std::string base =
        !parent.empty() ? parent : (tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
    std::string pattern = base + "/" + prefix + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create " + pattern + ": " + std::strerror(errno));
    }
    path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace orvy::test
