#include "record_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orvy::sim {

RecordFile::~RecordFile()
{
    if (fd_ >= 0) close(fd_);
}

bool RecordFile::open(const std::string &path, const std::string &what)
{
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    path_ = path;
    what_ = what;
    return fd_ >= 0;
}

void RecordFile::write_line(const std::string &line)
{
    if (fd_ < 0 || failed_) return;
    const std::string text = line + '\n';
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(fd_, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;
            std::fprintf(stderr, "Orvy_Simulator: cannot write %s %s: %s\n", what_.c_str(),
                         path_.c_str(), n < 0 ? std::strerror(errno) : "nothing taken");
            return;
        }
        written += static_cast<std::size_t>(n);
    }
}

}  // namespace orvy::sim
