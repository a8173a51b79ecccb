// Pseudo-terminal pairs standing in for a printer on the device-file
// transport: the test plays the printer on the master side, the library
// opens the slave through a path of the form it expects.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "scratch_dir.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace orvy::test {

using Bytes = std::vector<unsigned char>;

class PtyPair {
public:
    PtyPair()
    {
        if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
            throw std::runtime_error("openpty failed");
        }
        slave_name_ = ::ttyname(slave_);
    }
    ~PtyPair()
    {
        close_master();
        if (slave_ >= 0) ::close(slave_);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    int master() const { return master_; }
    int slave() const { return slave_; }
    const std::string &slave_name() const { return slave_name_; }

    // What a printer-class device looks like: raw bytes, no echo, VMIN 1 VTIME 0.
    void make_slave_raw()
    {
        struct termios settings {};
        ::tcgetattr(slave_, &settings);
        ::cfmakeraw(&settings);
        settings.c_cc[VMIN] = 1;
        settings.c_cc[VTIME] = 0;
        ::tcsetattr(slave_, TCSANOW, &settings);
    }

    // The printer sends.
    void send(const Bytes &bytes) const
    {
        if (::write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            throw std::runtime_error("pty write failed");
        }
    }

    // Waits until the slave has input to read (bytes cross a pty asynchronously).
    bool slave_has_input(int timeout_ms = 2000) const
    {
        pollfd entry{slave_, POLLIN, 0};
        return ::poll(&entry, 1, timeout_ms) == 1;
    }

    int slave_input_count() const
    {
        int count = -1;
        ::ioctl(slave_, FIONREAD, &count);
        return count;
    }

    // Everything the host has sent, read until the line stays quiet for quiet_ms.
    Bytes received(int quiet_ms = 200) const
    {
        Bytes bytes;
        unsigned char chunk[4096];
        for (;;) {
            pollfd entry{master_, POLLIN, 0};
            if (::poll(&entry, 1, quiet_ms) != 1) return bytes;
            const ssize_t got = ::read(master_, chunk, sizeof chunk);
            if (got <= 0) return bytes;
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
    }

    // The printer goes away.
    void close_master()
    {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slave_name_;
};

// A unique scratch directory that holds port names of the expected forms
// (…/dev/usb/lp0, …/dev/ttyS1) as links to a pty slave.
class PortDir {
public:
    // Absolute path of `relative` inside the directory (the file need not exist).
    std::string path(const std::string &relative) const { return dir_.path(relative); }

    // Makes `relative` a link to `target` and returns its absolute path.
    std::string link(const std::string &relative, const std::string &target) const
    {
        const std::filesystem::path at = dir_.path(relative);
        std::filesystem::create_directories(at.parent_path());
        std::filesystem::create_symlink(target, at);
        return at.string();
    }

private:
    ScratchDir dir_{"orvy-port"};
};

// Sends one byte on the master side every `period` until destroyed, and
// notes the longest gap between two sends (a loaded machine may stall it).
class Babbler {
public:
    Babbler(int master, std::chrono::milliseconds period)
        : thread_([this, master, period] {
              const unsigned char byte = 0x55;
              auto last = std::chrono::steady_clock::now();
              while (!stop_) {
                  (void)::write(master, &byte, 1);
                  const auto now = std::chrono::steady_clock::now();
                  const auto gap =
                      std::chrono::duration_cast<std::chrono::microseconds>(now - last);
                  if (gap.count() > longest_gap_us_) longest_gap_us_ = gap.count();
                  last = now;
                  std::this_thread::sleep_for(period);
              }
          })
    {}
    ~Babbler() { stop(); }
    Babbler(const Babbler &) = delete;
    Babbler &operator=(const Babbler &) = delete;

    void stop()
    {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    double longest_gap_ms() const { return static_cast<double>(longest_gap_us_) / 1000.0; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<long long> longest_gap_us_{0};
    std::thread thread_;
};

// Sends each chunk after its delay (counted from the previous chunk), on a
// thread joined at destruction.
class DelayedSender {
public:
    struct Chunk {
        std::chrono::milliseconds delay;
        Bytes bytes;
    };
    DelayedSender(int master, std::vector<Chunk> chunks)
        : thread_([master, chunks = std::move(chunks)] {
              for (const auto &chunk : chunks) {
                  std::this_thread::sleep_for(chunk.delay);
                  (void)::write(master, chunk.bytes.data(), chunk.bytes.size());
              }
          })
    {}
    ~DelayedSender() { thread_.join(); }
    DelayedSender(const DelayedSender &) = delete;
    DelayedSender &operator=(const DelayedSender &) = delete;

private:
    std::thread thread_;
};

// Wall time and CPU time of the calling thread, in milliseconds.
class Stopwatch {
public:
    double elapsed_ms() const
    {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
            .count();
    }
    double cpu_ms() const { return thread_cpu_ms() - cpu_start_; }

private:
    static double thread_cpu_ms()
    {
        struct timespec now {};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
    }
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    double cpu_start_ = thread_cpu_ms();
};

// Bounds for time-outs on a slow, loaded machine: never before the time-out
// (less a hair for clock granularity), well before it plus a generous margin.
constexpr double kEarlyToleranceMs = 2.0;
constexpr double kGenerousMarginMs = 1500.0;

}  // namespace orvy::test
