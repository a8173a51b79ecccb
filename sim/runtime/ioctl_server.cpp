#include "ioctl_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orvy::sim {
namespace {

// The commands of umockdev's preload protocol (0.16 and later).
constexpr unsigned long kRequestIoctl = 1;
constexpr unsigned long kDone = 3;
constexpr unsigned long kReadMemory = 5;
constexpr unsigned long kWriteMemory = 6;
// What DONE returns for a call the server leaves to the real node.
constexpr long kUnhandled = -100;

struct Message {
    unsigned long command;
    unsigned long arg1;
    unsigned long arg2;
};

bool send_all(int fd, const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t sent = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool receive_all(int fd, void *data, std::size_t size)
{
    auto *bytes = static_cast<char *>(data);
    while (size > 0) {
        const ssize_t got = ::recv(fd, bytes, size, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool send_message(int fd, unsigned long command, unsigned long arg1, unsigned long arg2)
{
    const Message message{command, arg1, arg2};
    return send_all(fd, &message, sizeof message);
}

// The call and the credentials of its sender.
bool receive_call(int fd, Message &message, pid_t &sender)
{
    union {
        cmsghdr header;
        char bytes[CMSG_SPACE(sizeof(ucred))];
    } control{};
    iovec data{&message, sizeof message};
    msghdr header{};
    header.msg_iov = &data;
    header.msg_iovlen = 1;
    header.msg_control = control.bytes;
    header.msg_controllen = sizeof control.bytes;
    ssize_t got;
    do {
        got = recvmsg(fd, &header, 0);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) return false;
    sender = 0;
    for (cmsghdr *c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS) {
            ucred credentials{};
            std::memcpy(&credentials, CMSG_DATA(c), sizeof credentials);
            sender = credentials.pid;
        }
    }
    const auto rest = sizeof message - static_cast<std::size_t>(got);
    return rest == 0 || receive_all(fd, reinterpret_cast<char *>(&message) + got, rest);
}

}  // namespace

IoctlCall::~IoctlCall()
{
    if (!completed_) complete(-EIO);
    finish();
}

void IoctlCall::finish() { flush(); }

// The client takes the messages one by one; sent in one piece, they cost it
// one wake-up instead of two per write.
bool IoctlCall::flush()
{
    if (!broken_ && !pending_.empty()) broken_ = !send_all(fd_, pending_.data(), pending_.size());
    pending_.clear();
    return !broken_;
}

bool IoctlCall::read(std::uintptr_t address, void *into, std::size_t size)
{
    if (broken_ || size == 0) return !broken_;
    if (pid_ > 0) {
        iovec local{into, size};
        iovec remote{reinterpret_cast<void *>(address), size};
        if (process_vm_readv(pid_, &local, 1, &remote, 1, 0) == static_cast<ssize_t>(size)) {
            return true;
        }
        pid_ = 0;  // not allowed, or a bad address: let the client answer
    }
    broken_ =
        !flush() || !send_message(fd_, kReadMemory, address, size) || !receive_all(fd_, into, size);
    return !broken_;
}

bool IoctlCall::write(std::uintptr_t address, const void *from, std::size_t size)
{
    if (broken_ || size == 0) return !broken_;
    const Message message{kWriteMemory, address, size};
    const auto *header = reinterpret_cast<const char *>(&message);
    pending_.insert(pending_.end(), header, header + sizeof message);
    pending_.insert(pending_.end(), static_cast<const char *>(from),
                    static_cast<const char *>(from) + size);
    return true;
}

void IoctlCall::complete(long result)
{
    if (completed_) return;
    completed_ = true;
    if (broken_) return;
    const long value = result < 0 ? -1 : result;
    const long error = result < 0 ? -result : 0;
    const Message done{kDone, static_cast<unsigned long>(value), static_cast<unsigned long>(error)};
    const auto *bytes = reinterpret_cast<const char *>(&done);
    pending_.insert(pending_.end(), bytes, bytes + sizeof done);
}

IoctlServer::~IoctlServer()
{
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        if (::write(wake_fd_, &one, sizeof one) < 0) {
            // The thread then ends with the process.
        }
        thread_.join();
    }
    for (const Client &client : clients_) close(client.fd);
    if (listen_fd_ >= 0) close(listen_fd_);
    if (wake_fd_ >= 0) close(wake_fd_);
    if (!path_.empty()) unlink(path_.c_str());
}

bool IoctlServer::start(const std::string &socket_path, std::string &error)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket_path.size() >= sizeof address.sun_path) {
        error = "the socket path " + socket_path + " is too long";
        return false;
    }
    std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size() + 1);
    listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    wake_fd_ = eventfd(0, EFD_CLOEXEC);
    if (listen_fd_ < 0 || wake_fd_ < 0 ||
        bind(listen_fd_, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        listen(listen_fd_, 16) != 0) {
        error = "cannot listen at " + socket_path + ": " + std::strerror(errno);
        return false;
    }
    path_ = socket_path;
    thread_ = std::thread([this] { serve(); });
    return true;
}

void IoctlServer::serve()
{
    for (;;) {
        std::vector<pollfd> fds{{wake_fd_, POLLIN, 0}, {listen_fd_, POLLIN, 0}};
        for (const Client &client : clients_) fds.push_back({client.fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents != 0) return;
        if (fds[1].revents & POLLIN) {
            const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
            // Each call then carries the sender's process id, even from a
            // child that inherited the descriptor.
            const int on = 1;
            if (fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) == 0) {
                clients_.push_back({fd, next_id_++});
            } else if (fd >= 0) {
                close(fd);
            }
        }
        // Serve those that were ready; a closed one is dropped afterwards.
        std::vector<unsigned> closed;
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents == 0) continue;
            const Client client = clients_[i - 2];
            if (!serve_one(client)) closed.push_back(client.id);
        }
        for (const unsigned id : closed) {
            for (auto it = clients_.begin(); it != clients_.end(); ++it) {
                if (it->id != id) continue;
                close(it->fd);
                clients_.erase(it);
                break;
            }
            on_closed_(id);
        }
    }
}

bool IoctlServer::serve_one(const Client &client)
{
    Message message{};
    pid_t sender = 0;
    if (!receive_call(client.fd, message, sender)) return false;
    if (message.command != kRequestIoctl) {
        // read() and write() on the node: the client does them itself.
        return send_message(client.fd, kDone, static_cast<unsigned long>(kUnhandled), 0);
    }
    IoctlCall call(client.fd, sender, message.arg1, message.arg2);
    on_ioctl_(client.id, call);
    call.finish();
    return true;
}

}  // namespace orvy::sim
