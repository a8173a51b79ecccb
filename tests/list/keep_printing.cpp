// An application that keeps printing through one port name and reconnects
// when the printer goes away, as a kiosk program would:
//
//   keep_printing PORT LINES PAUSE_MS
//
// Prints "LINE 0001\n", ... one write each. A write that does not complete
// closes the connection, reopens the same name every 100 ms and sends only
// the bytes that did not go out. Output: "reconnected after <ms> ms" per
// reconnect, counted from the start of the write that failed, then
// "done <lines> lines" (exit 0), or "gave up" (exit 1).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Orvy_Api.h"

namespace {

constexpr int kReopenTries = 40;
constexpr unsigned kReopenPauseUs = 100 * 1000;
constexpr unsigned long kWriteTimeoutMs = 200;

long now_ms()
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count());
}

intptr_t reopen(char *port)
{
    for (int i = 0; i < kReopenTries; ++i) {
        const intptr_t printer = orvy_api_printer_open(port);
        if (printer >= 0) return printer;
        usleep(kReopenPauseUs);
    }
    return -1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: keep_printing PORT LINES PAUSE_MS\n");
        return 2;
    }
    char *port = argv[1];
    const int lines = std::atoi(argv[2]);
    const unsigned pause_us = static_cast<unsigned>(std::atoi(argv[3])) * 1000;
    intptr_t printer = orvy_api_printer_open(port);
    if (printer < 0) {
        std::printf("open = %ld\n", static_cast<long>(printer));
        return 1;
    }
    for (int line = 1; line <= lines; ++line) {
        char text[16];
        const int size = std::snprintf(text, sizeof text, "LINE %04d\n", line);
        int sent = 0;
        while (sent < size) {
            const long started = now_ms();
            sent += orvy_api_printer_write(printer, reinterpret_cast<unsigned char *>(text) + sent,
                                           size - sent, kWriteTimeoutMs);
            if (sent == size) break;
            orvy_api_printer_close(printer);
            printer = reopen(port);
            if (printer < 0) {
                std::printf("gave up\n");
                return 1;
            }
            std::printf("reconnected after %ld ms\n", now_ms() - started);
        }
        usleep(pause_us);
    }
    orvy_api_printer_close(printer);
    std::printf("done %d lines\n", lines);
    return 0;
}
