// The --log transcript: one line per transfer or chunk, and one per event.
// Shared by the USB worker thread and the main thread; each line is written
// at once, and one that cannot be is reported (record_file.h).
#pragma once

#include <mutex>
#include <string>

#include "bytes.h"
#include "record_file.h"

namespace orvy::sim {

class Transcript {
public:
    Transcript() = default;
    Transcript(const Transcript &) = delete;
    Transcript &operator=(const Transcript &) = delete;

    // Empty path: no transcript. False, with errno set, when the file cannot
    // be created.
    bool open(const std::string &path);

    // "usb > 1D 61 01"; `to_printer` gives ">", otherwise "<". Nothing for no bytes.
    void data(const char *port, bool to_printer, const std::uint8_t *bytes, std::size_t size);
    void data(const char *port, bool to_printer, const Bytes &bytes)
    {
        data(port, to_printer, bytes.data(), bytes.size());
    }
    // "usb: claim interface 0"
    void event(const char *port, const std::string &text);

    // A line could not be written: the transcript is incomplete.
    bool failed();

private:
    void line(const std::string &text);

    std::mutex mutex_;
    RecordFile file_;
};

}  // namespace orvy::sim
