#include "pty_port.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orvy::sim {
namespace {

constexpr std::size_t kMaxQueuedBytes = 64 * 1024;
constexpr guint kSettingsPollMs = 10;

}  // namespace

PtyPort::PtyPort(SharedPrinter &shared, const char *port, int master_fd, bool serial)
    : shared_(shared), link_(shared, port, [this](Bytes bytes) { deliver(std::move(bytes)); }),
      master_(master_fd), serial_(serial)
{
    std::lock_guard lock(shared.mutex);
    shared.engine.add_waiter(this);
}

PtyPort::~PtyPort()
{
    {
        std::lock_guard lock(shared_.mutex);
        shared_.engine.remove_waiter(this);
    }
    remove_source(read_watch_);
    remove_source(write_watch_);
    remove_source(settings_timer_);
    if (slave_ >= 0) close(slave_);
}

bool PtyPort::start(std::string &error)
{
    char name[128];
    if (master_ < 0 || ptsname_r(master_, name, sizeof name) != 0) {
        error = std::string("no pty for the ") + link_.port() + " port";
        return false;
    }
    // The raw system call: through open() the preload library would tie the
    // descriptor to an ioctl socket of its own, which the child would inherit.
    slave_ = static_cast<int>(
        syscall(SYS_openat, AT_FDCWD, name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    // The child must not inherit the master: closing it on unplug would
    // then not hang the client up.
    const int flags = fcntl(master_, F_GETFL);
    if (slave_ < 0 || flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0 ||
        fcntl(master_, F_SETFD, FD_CLOEXEC) != 0) {
        error = std::string("cannot open ") + name + ": " + std::strerror(errno);
        return false;
    }
    // A fresh pty echoes and edits lines; a printer port does neither.
    termios attributes{};
    tcgetattr(slave_, &attributes);
    cfmakeraw(&attributes);
    attributes.c_cflag |= CLOCAL | CREAD;
    attributes.c_cc[VMIN] = 1;
    attributes.c_cc[VTIME] = 0;
    if (serial_) {
        cfsetispeed(&attributes, B9600);
        cfsetospeed(&attributes, B9600);
    }
    if (tcsetattr(slave_, TCSANOW, &attributes) != 0) {
        error = std::string("cannot set up ") + name + ": " + std::strerror(errno);
        return false;
    }
    settings_ = serial_settings_of(attributes);

    // Paper out: host bytes stay in the pty until it is full and writes block.
    if (!shared_.options.paper_out) read_watch_ = add_fd_watch(G_IO_IN, &PtyPort::on_readable);
    if (serial_) {
        settings_timer_ = g_timeout_source_new(kSettingsPollMs);
        g_source_set_callback(settings_timer_, &PtyPort::on_settings_timer, this, nullptr);
        g_source_attach(settings_timer_, shared_.context);
    }
    return true;
}

GSource *PtyPort::add_fd_watch(GIOCondition condition, GUnixFDSourceFunc callback)
{
    GSource *source = g_unix_fd_source_new(master_, condition);
    g_source_set_callback(source,
                          reinterpret_cast<GSourceFunc>(reinterpret_cast<void (*)()>(callback)),
                          this, nullptr);
    g_source_attach(source, shared_.context);
    return source;
}

void PtyPort::remove_source(GSource *&source)
{
    if (!source) return;
    g_source_destroy(source);
    g_source_unref(source);
    source = nullptr;
}

gboolean PtyPort::on_readable(gint, GIOCondition, gpointer data)
{
    auto *self = static_cast<PtyPort *>(data);
    std::lock_guard lock(self->shared_.mutex);
    if (self->closed_) return G_SOURCE_CONTINUE;
    if (self->serial_) self->report_settings_change();
    // A full buffer: the bytes stay in the pty, and the client's writes
    // block once the pty is full too.
    const std::size_t room = self->shared_.engine.fitting(4096, 0);
    if (room == 0) {
        self->waiting_for_room_ = true;
        g_source_unref(self->read_watch_);
        self->read_watch_ = nullptr;
        return G_SOURCE_REMOVE;
    }
    std::uint8_t chunk[4096];
    const ssize_t got = read(self->master_, chunk, room);
    if (got > 0) {
        self->link_.host_sent(chunk, static_cast<std::size_t>(got));
    } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
        // Cannot happen while our own slave descriptor is open; never spin.
        g_source_unref(self->read_watch_);
        self->read_watch_ = nullptr;
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

gboolean PtyPort::on_writable(gint, GIOCondition, gpointer data)
{
    auto *self = static_cast<PtyPort *>(data);
    std::lock_guard lock(self->shared_.mutex);
    self->write_output();
    if (!self->output_.empty() && !self->closed_) return G_SOURCE_CONTINUE;
    g_source_unref(self->write_watch_);
    self->write_watch_ = nullptr;
    return G_SOURCE_REMOVE;
}

gboolean PtyPort::on_settings_timer(gpointer data)
{
    auto *self = static_cast<PtyPort *>(data);
    std::lock_guard lock(self->shared_.mutex);
    self->report_settings_change();
    return G_SOURCE_CONTINUE;
}

void PtyPort::report_settings_change()
{
    termios attributes{};
    if (closed_ || tcgetattr(slave_, &attributes) != 0) return;
    const SerialSettings now = serial_settings_of(attributes);
    if (now == settings_) return;
    settings_ = now;
    shared_.transcript.event(link_.port(), describe(now));
}

void PtyPort::deliver(Bytes bytes)
{
    if (closed_ || output_.size() + bytes.size() > kMaxQueuedBytes) return;
    output_.insert(output_.end(), bytes.begin(), bytes.end());
    write_output();
    if (!output_.empty() && !write_watch_) {
        write_watch_ = add_fd_watch(G_IO_OUT, &PtyPort::on_writable);
    }
}

void PtyPort::write_output()
{
    if (closed_ || output_.empty()) return;
    const ssize_t written = write(master_, output_.data(), output_.size());
    if (written <= 0) return;
    const auto count = static_cast<std::size_t>(written);
    shared_.transcript.data(link_.port(), false, output_.data(), count);
    output_.erase(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(count));
}

void PtyPort::room_freed()
{
    if (!waiting_for_room_ || closed_) return;
    waiting_for_room_ = false;
    read_watch_ = add_fd_watch(G_IO_IN, &PtyPort::on_readable);
}

void PtyPort::unplug()
{
    std::lock_guard lock(shared_.mutex);
    if (closed_) return;
    closed_ = true;
    link_.stop();
    output_.clear();
    remove_source(read_watch_);
    remove_source(write_watch_);
    remove_source(settings_timer_);
    close(slave_);
    slave_ = -1;
    close(master_);  // the client's side hangs up
    master_ = -1;
    shared_.transcript.event(link_.port(), "unplugged");
}

}  // namespace orvy::sim
