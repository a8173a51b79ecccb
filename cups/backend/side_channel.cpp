#include "side_channel.h"

#include <cups/sidechannel.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <string>

namespace orvy::backend {

// cupsd gives its backends a socket there; a backend run by hand may have
// anything else in that place.
int SideChannel::descriptor()
{
    static const int kDescriptor = [] {
        struct stat st {};
        return fstat(CUPS_SC_FD, &st) == 0 && S_ISSOCK(st.st_mode) ? CUPS_SC_FD : -1;
    }();
    return kDescriptor;
}

bool SideChannel::serve(const SideChannelAnswers &answers)
{
    cups_sc_command_t command = CUPS_SC_CMD_NONE;
    cups_sc_status_t status = CUPS_SC_STATUS_NONE;
    char data[2048];
    int length = sizeof data;
    if (cupsSideChannelRead(&command, &status, data, &length, 1.0) != 0) return false;

    std::string reply;
    status = CUPS_SC_STATUS_OK;
    switch (command) {
    case CUPS_SC_CMD_GET_DEVICE_ID:
        reply = answers.device_id();
        if (reply.size() > sizeof data) status = CUPS_SC_STATUS_TOO_BIG;
        break;
    case CUPS_SC_CMD_GET_STATE: reply.assign(1, static_cast<char>(answers.state())); break;
    case CUPS_SC_CMD_GET_CONNECTED: reply.assign(1, answers.connected() ? 1 : 0); break;
    case CUPS_SC_CMD_GET_BIDI:
        // Nothing of the printer's comes back through the back channel.
        reply.assign(1, static_cast<char>(CUPS_SC_BIDI_NOT_SUPPORTED));
        break;
    case CUPS_SC_CMD_DRAIN_OUTPUT: return true;
    default: status = CUPS_SC_STATUS_NOT_IMPLEMENTED; break;
    }
    if (status != CUPS_SC_STATUS_OK) reply.clear();
    cupsSideChannelWrite(command, status, reply.data(), static_cast<int>(reply.size()), 1.0);
    return false;
}

void SideChannel::finish_drain(bool sent)
{
    cupsSideChannelWrite(CUPS_SC_CMD_DRAIN_OUTPUT,
                         sent ? CUPS_SC_STATUS_OK : CUPS_SC_STATUS_IO_ERROR, nullptr, 0, 1.0);
}

}  // namespace orvy::backend
