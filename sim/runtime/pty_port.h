// The printer behind a device file (/dev/usb/lp0, /dev/ttyS1): umockdev
// makes the node a pty; the simulator serves its master side on the main
// thread and keeps a slave descriptor of its own, so that the line settings
// persist and the master never sees a hang-up between clients.
#pragma once

#include <glib-unix.h>
#include <glib.h>

#include <string>

#include "printer_link.h"
#include "serial_settings.h"

namespace orvy::sim {

class PtyPort : public RoomWaiter {
public:
    // `serial`: report the client's line settings ("tty"); otherwise the port
    // behaves like usblp (raw, VMIN 1, VTIME 0).
    PtyPort(SharedPrinter &shared, const char *port, int master_fd, bool serial);
    ~PtyPort();
    PtyPort(const PtyPort &) = delete;
    PtyPort &operator=(const PtyPort &) = delete;

    bool start(std::string &error);

    // With the shared mutex held:
    void send_now(Bytes bytes) { link_.send_now(std::move(bytes)); }
    std::size_t queued_bytes() const { return output_.size(); }

    // Main thread, without the mutex: the printer goes away, the client's
    // next read or write fails.
    void unplug();

    // With the shared mutex held: reading goes on when it waited for room.
    void room_freed() override;

private:
    static gboolean on_readable(gint fd, GIOCondition condition, gpointer self);
    static gboolean on_writable(gint fd, GIOCondition condition, gpointer self);
    static gboolean on_settings_timer(gpointer self);
    void deliver(Bytes bytes);
    void write_output();
    void report_settings_change();
    void remove_source(GSource *&source);
    GSource *add_fd_watch(GIOCondition condition, GUnixFDSourceFunc callback);

    SharedPrinter &shared_;
    PrinterLink link_;
    int master_;
    int slave_ = -1;
    bool serial_;
    bool closed_ = false;
    bool waiting_for_room_ = false;
    Bytes output_;
    GSource *read_watch_ = nullptr;
    GSource *write_watch_ = nullptr;
    GSource *settings_timer_ = nullptr;
    SerialSettings settings_;
};

}  // namespace orvy::sim
