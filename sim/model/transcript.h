// The --log transcript: one line per transfer or chunk, and one per event.
// Shared by the USB worker thread and the main thread; each line is flushed.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "bytes.h"

namespace orvy::sim {

class Transcript {
public:
    Transcript() = default;
    ~Transcript();
    Transcript(const Transcript &) = delete;
    Transcript &operator=(const Transcript &) = delete;

    // Empty path: no transcript. False when the file cannot be created.
    bool open(const std::string &path);

    // "usb > 1D 61 01"; `to_printer` gives ">", otherwise "<". Nothing for no bytes.
    void data(const char *port, bool to_printer, const std::uint8_t *bytes, std::size_t size);
    void data(const char *port, bool to_printer, const Bytes &bytes)
    {
        data(port, to_printer, bytes.data(), bytes.size());
    }
    // "usb: claim interface 0"
    void event(const char *port, const std::string &text);

    void flush();

private:
    void line(const std::string &text);

    std::mutex mutex_;
    std::FILE *file_ = nullptr;
};

}  // namespace orvy::sim
