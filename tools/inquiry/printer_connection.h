// The open connection of one run, and the steps every run takes on it before
// its inquiries.
#pragma once

#include <cstdint>
#include <string>

namespace orvy::inquiry {

// Owns a printer handle: closes it when the run leaves without closing it.
class PrinterConnection {
public:
    // Opens `port`; a failed open leaves the library's negative code as handle.
    explicit PrinterConnection(const std::string &port);
    ~PrinterConnection() { close(); }
    PrinterConnection(const PrinterConnection &) = delete;
    PrinterConnection &operator=(const PrinterConnection &) = delete;

    std::intptr_t handle() const { return handle_; }
    bool is_open() const { return handle_ >= 0; }
    void close();

private:
    std::intptr_t handle_;
};

// Ten zero bytes, then half a second for the printer to settle, so that a
// command left half-sent by an earlier program cannot swallow the inquiry.
void send_synchronisation(std::intptr_t printer);

}  // namespace orvy::inquiry
