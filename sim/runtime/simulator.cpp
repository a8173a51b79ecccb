#include "simulator.h"

#include <glib-unix.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

#include "child_process.h"
#include "printer_unit.h"
#include "signals.h"
#include "testbed.h"
#include "work_dir.h"

namespace orvy::sim {
namespace {

constexpr guint kKillGraceMs = 2000;
constexpr guint kReplugAwayMs = 500;

std::vector<std::string> command_or_shell(const std::vector<std::string> &command)
{
    if (!command.empty()) return command;
    const char *shell = getenv("SHELL");
    return {shell && *shell ? shell : "/bin/sh"};
}

}  // namespace

struct Simulator::Parts {
    std::mutex mutex;
    Transcript transcript;
    std::unique_ptr<WorkDir> work_dir;
    std::unique_ptr<Testbed> testbed;
    std::vector<std::unique_ptr<PrinterUnit>> printers;
    unsigned next_usb_address = 0;
    unsigned next_lp_number = 0;
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
    parts_ = std::make_unique<Parts>();
    if (!parts_->transcript.open(options_.log_path)) {
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

    GMainContext *context = g_main_context_default();
    parts_->loop = g_main_loop_new(context, FALSE);

    for (unsigned i = 0; i < options_.printers; ++i) {
        parts_->printers.push_back(std::make_unique<PrinterUnit>(options_, i, parts_->mutex,
                                                                 parts_->transcript, context,
                                                                 *parts_->testbed));
        if (!parts_->printers.back()->create(error)) return false;
    }
    parts_->next_usb_address = 11 + options_.printers;
    parts_->next_lp_number = options_.printers;

    std::lock_guard lock(parts_->mutex);
    for (auto &printer : parts_->printers) printer->send_now(options_.pending);
    return true;
}

void Simulator::start_timers()
{
    if (options_.unplug_after_ms) {
        g_timeout_add(
            *options_.unplug_after_ms,
            [](gpointer data) -> gboolean {
                for (auto &printer : static_cast<Parts *>(data)->printers) printer->unplug();
                return G_SOURCE_REMOVE;
            },
            parts_.get());
    }
    if (options_.replug_after_ms) {
        g_timeout_add(
            *options_.replug_after_ms,
            [](gpointer data) -> gboolean {
                auto *parts = static_cast<Parts *>(data);
                parts->printers.front()->leave_usb();
                g_timeout_add(
                    kReplugAwayMs,
                    [](gpointer data) -> gboolean {
                        auto *parts = static_cast<Parts *>(data);
                        std::string error;
                        if (!parts->printers.front()->return_usb(parts->next_usb_address++,
                                                                 parts->next_lp_number++, error)) {
                            std::fprintf(stderr, "Orvy_Simulator: replug: %s\n", error.c_str());
                        }
                        return G_SOURCE_REMOVE;
                    },
                    parts);
                return G_SOURCE_REMOVE;
            },
            parts_.get());
    }
    if (options_.babble_ms > 0) {
        g_timeout_add(
            options_.babble_ms,
            [](gpointer data) -> gboolean {
                auto *parts = static_cast<Parts *>(data);
                std::lock_guard lock(parts->mutex);
                for (auto &printer : parts->printers) printer->send_now({0x55});
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
        std::lock_guard lock(parts_->mutex);
        parts_->transcript.flush();
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
