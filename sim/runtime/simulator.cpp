#include "simulator.h"

#include <glib-unix.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

#include "child_process.h"
#include "pty_port.h"
#include "shared_printer.h"
#include "signals.h"
#include "testbed.h"
#include "usb_port.h"
#include "work_dir.h"

namespace orvy::sim {
namespace {

constexpr guint kKillGraceMs = 2000;

std::vector<std::string> command_or_shell(const std::vector<std::string> &command)
{
    if (!command.empty()) return command;
    const char *shell = getenv("SHELL");
    return {shell && *shell ? shell : "/bin/sh"};
}

}  // namespace

struct Simulator::Parts {
    explicit Parts(const Options &o) : shared(o) {}

    SharedPrinter shared;
    std::unique_ptr<WorkDir> work_dir;
    std::unique_ptr<Testbed> testbed;
    std::unique_ptr<UsbPort> usb;
    std::unique_ptr<PtyPort> lp;
    std::unique_ptr<PtyPort> tty;
    GMainLoop *loop = nullptr;
    int signal_fd = -1;
};

Simulator::Simulator(Options options) : options_(std::move(options)) {}

Simulator::~Simulator() = default;

int Simulator::fail(const std::string &reason)
{
    std::fprintf(stderr, "Orvy_Simulator: %s\n", reason.c_str());
    return 125;
}

bool Simulator::set_up(std::string &error)
{
    parts_ = std::make_unique<Parts>(options_);
    SharedPrinter &shared = parts_->shared;
    if (!shared.transcript.open(options_.log_path)) {
        error = "cannot write the transcript " + options_.log_path;
        return false;
    }
    parts_->signal_fd = install_signal_pipe();
    if (parts_->signal_fd < 0) {
        error = "cannot set up signal handling";
        return false;
    }
    parts_->work_dir = WorkDir::create(error);
    if (!parts_->work_dir) return false;
    set_crash_cleanup(0, parts_->work_dir->path().c_str());

    // umockdev puts its root below $TMPDIR: make that our scratch directory.
    // The child gets the caller's $TMPDIR back through its own environment:
    // once the test bed's thread runs, our environment must stay as it is.
    if (const char *tmp = getenv("TMPDIR")) caller_tmpdir_ = std::string(tmp);
    setenv("TMPDIR", parts_->work_dir->path().c_str(), 1);
    parts_->testbed = Testbed::create(error);
    if (!parts_->testbed) return false;

    shared.context = g_main_context_default();
    parts_->loop = g_main_loop_new(shared.context, FALSE);

    Testbed &testbed = *parts_->testbed;
    if (!options_.no_usb) {
        parts_->usb = std::make_unique<UsbPort>(shared, testbed);
        if (!parts_->usb->create(error)) return false;
    }
    if (!testbed.add_device_file("usb/lp0", error) || !testbed.add_device_file("ttyS1", error)) {
        return false;
    }
    parts_->lp = std::make_unique<PtyPort>(shared, "lp", testbed.pty_master("/dev/usb/lp0"), false);
    parts_->tty = std::make_unique<PtyPort>(shared, "tty", testbed.pty_master("/dev/ttyS1"), true);
    if (!parts_->lp->start(error) || !parts_->tty->start(error)) return false;

    std::lock_guard lock(shared.mutex);
    if (parts_->usb) parts_->usb->send_now(options_.pending);
    parts_->lp->send_now(options_.pending);
    parts_->tty->send_now(options_.pending);
    return true;
}

void Simulator::start_timers()
{
    if (options_.unplug_after_ms) {
        g_timeout_add(
            *options_.unplug_after_ms,
            [](gpointer data) -> gboolean {
                auto *parts = static_cast<Parts *>(data);
                if (parts->usb) parts->usb->unplug();
                parts->lp->unplug();
                parts->tty->unplug();
                return G_SOURCE_REMOVE;
            },
            parts_.get());
    }
    if (options_.babble_ms > 0) {
        g_timeout_add(
            options_.babble_ms,
            [](gpointer data) -> gboolean {
                auto *parts = static_cast<Parts *>(data);
                std::lock_guard lock(parts->shared.mutex);
                if (parts->usb) parts->usb->send_now({0x55});
                parts->lp->send_now({0x55});
                parts->tty->send_now({0x55});
                return G_SOURCE_CONTINUE;
            },
            parts_.get());
    }
}

void Simulator::on_signal(int signal_number, bool from_keyboard)
{
    if (child_ <= 0) {
        finish(128 + signal_number);
        return;
    }
    // Ctrl-C reached the child too; an interactive shell ignores it and
    // must live on.
    if (from_keyboard) return;
    // The child ends first, then the simulator with the child's status; a
    // child that ignores the signal is killed after a grace period.
    kill(child_, signal_number);
    g_timeout_add(
        kKillGraceMs,
        [](gpointer data) -> gboolean {
            kill(*static_cast<pid_t *>(data), SIGKILL);
            return G_SOURCE_REMOVE;
        },
        &child_);
}

// Leaves without finalising GLib or umockdev objects: their threads may be
// busy with a client, and nothing of theirs needs saving.
void Simulator::finish(int status)
{
    if (parts_) {
        std::lock_guard lock(parts_->shared.mutex);
        parts_->shared.transcript.flush();
        // Without a test bed to redirect to, the preload library passes the
        // removal straight through instead of checking every path (5x faster).
        // The test bed's thread may read the environment meanwhile (umockdev
        // bug 206); nothing of it matters any more at this point.
        unsetenv("UMOCKDEV_DIR");
        if (parts_->work_dir) parts_->work_dir->remove();
    }
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(status);
}

int Simulator::run()
{
    std::string error;
    if (!set_up(error)) {
        const int status = fail(error);
        finish(status);
    }
    child_ = spawn_child(command_or_shell(options_.command), {{"TMPDIR", caller_tmpdir_}}, error);
    if (child_ < 0) finish(fail(error));
    set_crash_cleanup(child_, nullptr);

    g_child_watch_add(
        child_,
        [](GPid, gint wait_status, gpointer data) {
            auto *self = static_cast<Simulator *>(data);
            self->exit_status_ = exit_status_of(wait_status);
            g_main_loop_quit(self->parts_->loop);
        },
        this);
    g_unix_fd_add(
        parts_->signal_fd, G_IO_IN,
        [](gint fd, GIOCondition, gpointer data) -> gboolean {
            for (CaughtSignal s = next_signal(fd); s.number != 0; s = next_signal(fd)) {
                static_cast<Simulator *>(data)->on_signal(s.number, s.from_keyboard);
            }
            return G_SOURCE_CONTINUE;
        },
        this);
    start_timers();
    g_main_loop_run(parts_->loop);
    finish(exit_status_);
    return exit_status_;
}

}  // namespace orvy::sim
