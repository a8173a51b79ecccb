#include "replay_printer.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Orvy_Api.h"

namespace {

constexpr intptr_t kHandle = 3;

struct Replay {
    std::vector<unsigned char> answer;
    std::size_t next = 0;
    std::vector<unsigned char> written;
    std::string port;
};

Replay &replay()
{
    static Replay state;
    return state;
}

}  // namespace

namespace orvy::fuzz {

void replay_answer(const unsigned char *bytes, std::size_t size)
{
    Replay &r = replay();
    r.answer.assign(bytes, bytes + size);
    r.next = 0;
    r.written.clear();
    r.port.clear();
}

const std::vector<unsigned char> &written() { return replay().written; }

const std::string &opened_port() { return replay().port; }

void silence_standard_output()
{
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::perror("/dev/null");
}

}  // namespace orvy::fuzz

extern "C" {

intptr_t orvy_api_printer_open(char *port)
{
    if (port == nullptr) return -2;
    replay().port = port;
    return kHandle;
}

// The printer answers only what it is asked: nothing is pending before a request.
int orvy_api_printer_clear(intptr_t printer) { return printer == kHandle ? 1 : 0; }

int orvy_api_printer_write(intptr_t printer, unsigned char *data, int size, unsigned long)
{
    if (printer != kHandle || data == nullptr || size <= 0) return 0;
    replay().written.insert(replay().written.end(), data, data + size);
    return size;
}

// Like the device files: what has arrived, up to `size`.
int orvy_api_printer_read(intptr_t printer, unsigned char *data, int size, unsigned long)
{
    auto &r = replay();
    if (printer != kHandle || data == nullptr || size <= 0) return 0;
    const std::size_t count = std::min(static_cast<std::size_t>(size), r.answer.size() - r.next);
    if (count > 0) std::memcpy(data, r.answer.data() + r.next, count);
    r.next += count;
    return static_cast<int>(count);
}

void orvy_api_printer_close(intptr_t) {}

int usleep(useconds_t) { return 0; }

}  // extern "C"
