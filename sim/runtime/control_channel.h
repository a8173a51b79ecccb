// The control channel: a FIFO through which a test, or a developer at a
// shell, changes the printers' state while COMMAND runs, one command per
// line (see control_command.h). Lines are read on the main loop, and also
// before any host bytes are acted on, so a command written before a
// program's next transfer takes effect before that transfer reaches the
// printer.
#pragma once

#include <glib.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "control_command.h"

namespace orvy::sim {

class ControlChannel {
public:
    // Runs with the shared mutex held, on any thread. A refused line comes
    // to the complaint clipped to a length fit for a message.
    using Handler = std::function<void(const ControlCommand &, const std::string &line)>;
    using Complaint = std::function<void(const std::string &line, const std::string &error)>;

    // Makes the FIFO at `path` (an existing FIFO is used as it is) and
    // watches it on `context`. Empty on failure, with the reason.
    static std::unique_ptr<ControlChannel> create(const std::string &path, unsigned printers,
                                                  std::mutex &mutex, GMainContext *context,
                                                  Handler handler, Complaint complaint,
                                                  std::string &error);
    ~ControlChannel();
    ControlChannel(const ControlChannel &) = delete;
    ControlChannel &operator=(const ControlChannel &) = delete;

    const std::string &path() const { return path_; }
    // With the shared mutex held: acts on every complete line waiting.
    void poll();
    // The FIFO goes, if the simulator made it.
    void remove();

private:
    ControlChannel(std::string path, unsigned printers, std::mutex &mutex, Handler handler,
                   Complaint complaint)
        : path_(std::move(path)), printers_(printers), mutex_(mutex), handler_(std::move(handler)),
          complaint_(std::move(complaint))
    {}
    static gboolean on_readable(gint fd, GIOCondition condition, gpointer self);
    // Bytes read: each line that they complete is acted on.
    void take(std::string_view bytes);
    void act_on(std::string &line);

    std::string path_;
    unsigned printers_;
    std::mutex &mutex_;
    Handler handler_;
    Complaint complaint_;
    int fd_ = -1;
    bool made_ = false;
    bool polling_ = false;
    std::string partial_;
    GSource *watch_ = nullptr;
};

}  // namespace orvy::sim
