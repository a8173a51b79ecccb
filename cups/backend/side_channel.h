// CUPS' side channel (file descriptor 4): filters ask the backend for the
// printer's device ID, state and connection, and to drain the output.
#pragma once

#include <functional>
#include <string>

namespace orvy::backend {

struct SideChannelAnswers {
    std::function<std::string()> device_id;
    std::function<int()> state;  // CUPS_SC_STATE_* bits
    std::function<bool()> connected;
};

class SideChannel {
public:
    // The descriptor to poll for requests, -1 when cupsd gave none.
    static int descriptor();
    // Answers one request that is waiting on the descriptor. A request to
    // drain the output is answered later, with finish_drain, once everything
    // that the filters wrote so far has reached the printer: true then.
    static bool serve(const SideChannelAnswers &answers);
    static void finish_drain(bool sent);
};

}  // namespace orvy::backend
