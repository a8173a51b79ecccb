#include "control_channel.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orvy::sim {
namespace {

// A longer line is no command: it is refused as a whole, once it ends.
constexpr std::size_t kLongestLine = 4096;

}  // namespace

std::unique_ptr<ControlChannel> ControlChannel::create(const std::string &path, unsigned printers,
                                                       std::mutex &mutex, GMainContext *context,
                                                       Handler handler, Complaint complaint,
                                                       std::string &error)
{
    std::unique_ptr<ControlChannel> channel(
        new ControlChannel(path, printers, mutex, std::move(handler), std::move(complaint)));
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        if (!S_ISFIFO(info.st_mode)) {
            error = "control channel " + path + " exists and is no FIFO";
            return nullptr;
        }
    } else if (mkfifo(path.c_str(), 0600) == 0) {
        channel->made_ = true;
    } else {
        error = "cannot make the control FIFO " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    // Opened for writing too, so that the last writer closing it is no end.
    channel->fd_ = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (channel->fd_ < 0) {
        error = "cannot open the control FIFO " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    channel->watch_ = g_unix_fd_source_new(channel->fd_, G_IO_IN);
    // Before the ports' sources, when both are ready at once.
    g_source_set_priority(channel->watch_, G_PRIORITY_HIGH);
    g_source_set_callback(channel->watch_,
                          reinterpret_cast<GSourceFunc>(reinterpret_cast<void (*)()>(
                              static_cast<GUnixFDSourceFunc>(&ControlChannel::on_readable))),
                          channel.get(), nullptr);
    g_source_attach(channel->watch_, context);
    return channel;
}

ControlChannel::~ControlChannel()
{
    if (watch_) {
        g_source_destroy(watch_);
        g_source_unref(watch_);
    }
    if (fd_ >= 0) close(fd_);
}

gboolean ControlChannel::on_readable(gint, GIOCondition, gpointer data)
{
    auto *self = static_cast<ControlChannel *>(data);
    std::lock_guard lock(self->mutex_);
    self->poll();
    return G_SOURCE_CONTINUE;
}

void ControlChannel::poll()
{
    if (fd_ < 0 || polling_) return;
    polling_ = true;
    char chunk[512];
    ssize_t got = 0;
    while ((got = read(fd_, chunk, sizeof chunk)) > 0) {
        take(std::string_view(chunk, static_cast<std::size_t>(got)));
    }
    polling_ = false;
}

void ControlChannel::take(std::string_view bytes)
{
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        // Of a line too long to be a command only the start is kept, to quote.
        const std::size_t room = kLongestLine + 1 - partial_.size();
        partial_.append(bytes.substr(0, std::min(end, room)));
        if (end == std::string_view::npos) return;
        bytes.remove_prefix(end + 1);
        std::string line;
        line.swap(partial_);
        act_on(line);
    }
}

void ControlChannel::act_on(std::string &line)
{
    if (line.size() > kLongestLine) {
        complaint_(clipped(line), "longer than " + std::to_string(kLongestLine) + " bytes");
        return;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) return;
    const ParsedControl parsed = parse_control_line(line, printers_);
    if (parsed.error.empty()) {
        handler_(parsed.command, line);
    } else {
        complaint_(clipped(line), parsed.error);
    }
}

void ControlChannel::remove()
{
    if (made_) unlink(path_.c_str());
    made_ = false;
}

}  // namespace orvy::sim
