// Sole owner of one file descriptor: closes it when it goes out of scope,
// unless ownership was handed on with release().
#pragma once

#include <unistd.h>

#include <utility>

namespace orvy::api {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }

    UniqueFd(UniqueFd &&other) noexcept : fd_(other.release()) {}
    UniqueFd &operator=(UniqueFd &&other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    explicit operator bool() const { return valid(); }

    // Hands the descriptor to the caller, who must close it.
    int release() { return std::exchange(fd_, -1); }

    void reset(int fd = -1)
    {
        // close() is not retried on EINTR: on Linux the descriptor is gone anyway.
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

}  // namespace orvy::api
