// The seam between the exported C functions and the two transports.
//
// The C layer (Orvy_Api.cpp) handles what is common to both: handles that
// are not the current connection's, missing buffers, sizes of 0, the mode in
// `communication`, the "Start of reading" diagnostic. A transport only sees
// calls that passed those checks, and fills one table, so the shared code
// never asks which transport it talks to.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace orvy::api {

struct Transport {
    // Opens the port; returns a handle (>= 0) or an open error code (-1..-8).
    // Releases the transport's earlier connection before it touches the port.
    intptr_t (*open)(const char *port);
    // True only for the handle of the transport's current connection.
    bool (*owns)(intptr_t printer);
    // Ends the current connection, if there is one.
    void (*release)();
    // Bytes sent within timeout_ms.
    int (*write)(intptr_t printer, unsigned char *data, int size, unsigned long timeout_ms);
    // Bytes received (device file) or size/0/-1/-2/-3 (USB).
    int (*read)(intptr_t printer, unsigned char *data, int size, unsigned long timeout_ms);
    // 1 when pending input was discarded.
    int (*clear)(intptr_t printer);
    void (*close)(intptr_t printer);
};

extern const Transport kDeviceFileTransport;  // communication == 1
extern const Transport kUsbBulkTransport;     // communication == 2

enum Mode : int { kModeNone = 0, kModeDeviceFile = 1, kModeUsbBulk = 2 };

// The transport of a mode, or nullptr for a mode that has none.
inline const Transport *transport_for_mode(int mode)
{
    switch (mode) {
    case kModeDeviceFile: return &kDeviceFileTransport;
    case kModeUsbBulk: return &kUsbBulkTransport;
    default: return nullptr;
    }
}

// Ends the connections of every transport but `keep` (nullptr: of all).
inline void release_other_transports(const Transport *keep)
{
    for (const Transport *transport : {&kDeviceFileTransport, &kUsbBulkTransport}) {
        if (transport != keep) transport->release();
    }
}

// What a printer that is gone (unplugged) does to a waiting loop: the
// functions of orvy_api_printer_open keep polling until their time-out, the
// connections of orvy_api_conn_open end the call at once.
enum class OnGone { keep_polling, stop };

// Clear reads and drops pending input in pieces of this size, pausing this
// long after a pass that found nothing.
inline constexpr int kClearChunkBytes = 256;
inline constexpr unsigned long kClearPauseMs = 10;

// Polling pause of the transfer loops: the smaller of the time-out and 10 ms.
inline unsigned long polling_pause_ms(unsigned long timeout_ms)
{
    return timeout_ms < 10 ? timeout_ms : 10;
}

}  // namespace orvy::api
