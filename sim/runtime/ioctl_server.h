// The USB node's ioctls, answered on a thread of our own. umockdev's preload
// library sends every ioctl on an emulated node over a unix socket that it
// finds at $UMOCKDEV_DIR/ioctl/<node>: three unsigned longs {command, arg1,
// arg2}. The server may then read client memory (READ_MEM: the client sends
// the bytes) and write it (WRITE_MEM: the bytes follow, no answer), and ends
// the call with DONE {result, errno}. umockdev's own server runs this through
// GIO on a GLib main loop, about 0.25 ms per call on our machines; plain
// blocking socket calls on one thread take a fifth of that.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace orvy::sim {

// One ioctl of one client, in progress until complete() is called.
class IoctlCall {
public:
    // `pid` is the process that sent the call, 0 if unknown.
    IoctlCall(int fd, pid_t pid, unsigned long request, std::uintptr_t arg)
        : fd_(fd), pid_(pid), request_(request), arg_(arg)
    {}
    IoctlCall(const IoctlCall &) = delete;
    IoctlCall &operator=(const IoctlCall &) = delete;
    ~IoctlCall();

    unsigned long request() const { return request_; }
    std::uintptr_t arg() const { return arg_; }

    // Client memory, whole or nothing. Reads go straight to the client's
    // address space where the system allows it (process_vm_readv: same
    // user), else the client serves them while it waits. Writes always go
    // through the socket, so that the client's own system calls write its
    // memory and memory checkers in the client (valgrind) see the data.
    bool read(std::uintptr_t address, void *into, std::size_t size);
    bool write(std::uintptr_t address, const void *from, std::size_t size);
    // `result` >= 0 is the ioctl's result, < 0 fails it with errno -result.
    // The client learns it when the handler has returned, after the state
    // that it will poll for has been set.
    void complete(long result);
    // Sends what is pending; the server's part.
    void finish();

private:
    int fd_;
    pid_t pid_;
    unsigned long request_;
    std::uintptr_t arg_;
    std::vector<char> pending_;  // writes, sent with the next read or at completion
    bool completed_ = false;
    bool broken_ = false;

    bool flush();
};

class IoctlServer {
public:
    // Clients are numbered from 1 in the order they open the node.
    using OnIoctl = std::function<void(unsigned client, IoctlCall &call)>;
    using OnClosed = std::function<void(unsigned client)>;

    IoctlServer(OnIoctl on_ioctl, OnClosed on_closed)
        : on_ioctl_(std::move(on_ioctl)), on_closed_(std::move(on_closed))
    {}
    ~IoctlServer();
    IoctlServer(const IoctlServer &) = delete;
    IoctlServer &operator=(const IoctlServer &) = delete;

    // Listens at `socket_path` (which must not exist yet) and serves from
    // now on. The callbacks run on the server's thread.
    bool start(const std::string &socket_path, std::string &error);

private:
    struct Client {
        int fd;
        unsigned id;
    };
    void serve();
    bool serve_one(const Client &client);

    OnIoctl on_ioctl_;
    OnClosed on_closed_;
    std::string path_;
    int listen_fd_ = -1;
    int wake_fd_ = -1;
    std::vector<Client> clients_;
    unsigned next_id_ = 1;
    std::thread thread_;
};

}  // namespace orvy::sim
