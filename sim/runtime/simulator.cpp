#include "simulator.h"

#include <glib-unix.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

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
    std::unique_ptr<ControlChannel> control;
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
        error = "cannot write the transcript " + options_.log_path + ": " + std::strerror(errno);
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
        parts_->printers.push_back(
            std::make_unique<PrinterUnit>(options_for_printer(options_, i), i, parts_->mutex,
                                          parts_->transcript, context, *parts_->testbed));
        if (!parts_->printers.back()->create(error)) return false;
    }
    parts_->next_usb_address = 11 + options_.printers;
    parts_->next_lp_number = options_.printers;
    if (!open_control_channel(error)) return false;

    std::lock_guard lock(parts_->mutex);
    for (auto &printer : parts_->printers) printer->send_now(printer->options().pending);
    return true;
}

bool Simulator::open_control_channel(std::string &error)
{
    const std::string path = options_.control_path.empty() ? parts_->work_dir->path() + "/control"
                                                           : options_.control_path;
    Parts *parts = parts_.get();
    parts_->control = ControlChannel::create(
        path, options_.printers, parts_->mutex, g_main_context_default(),
        [parts](const ControlCommand &command, const std::string &line) {
            control(*parts, command, line);
        },
        [parts](const std::string &line, const std::string &reason) {
            std::fprintf(stderr, "Orvy_Simulator: control: %s: %s\n", line.c_str(), reason.c_str());
            parts->transcript.event("control", line + ": " + reason);
        },
        error);
    if (!parts_->control) return false;
    for (auto &printer : parts_->printers) printer->shared().control = parts_->control.get();
    return true;
}

// With the mutex held, on whichever thread read the line. Plugging runs on
// the main loop, as the timers' replugs do.
void Simulator::control(Parts &parts, const ControlCommand &command, const std::string &line)
{
    using Kind = ControlCommand::Kind;
    parts.transcript.event("control", line);
    PrinterUnit &unit = *parts.printers.at(command.printer - 1);
    SharedPrinter &shared = unit.shared();
    switch (command.kind) {
    case Kind::Load:
        shared.printer.load_paper(command.paper_mm);
        shared.engine.paper_changed();
        break;
    case Kind::PaperOut:
        shared.printer.run_out_of_paper();
        shared.engine.paper_changed();
        break;
    case Kind::Silent: shared.options.silent = true; break;
    case Kind::Answer: shared.options.silent = false; break;
    case Kind::Unplug:
    case Kind::Plug: {
        struct Plugging {
            Parts *parts;
            unsigned index;
            bool plug;
        };
        g_idle_add_full(
            G_PRIORITY_HIGH,
            [](gpointer data) -> gboolean {
                const auto *p = static_cast<Plugging *>(data);
                PrinterUnit &unit = *p->parts->printers.at(p->index);
                if (!p->plug) {
                    unit.leave_usb();
                } else if (unit.away_from_usb()) {
                    std::string error;
                    if (!unit.return_usb(p->parts->next_usb_address++, p->parts->next_lp_number++,
                                         error)) {
                        std::fprintf(stderr, "Orvy_Simulator: plug: %s\n", error.c_str());
                    }
                }
                return G_SOURCE_REMOVE;
            },
            new Plugging{&parts, command.printer - 1, command.kind == Kind::Plug},
            [](gpointer data) { delete static_cast<Plugging *>(data); });
        break;
    }
    }
}

// Each printer's own timed faults.
void Simulator::start_timers()
{
    for (auto &unit : parts_->printers) {
        PrinterUnit *printer = unit.get();
        const Options &o = printer->options();
        if (o.unplug_after_ms) {
            g_timeout_add(
                *o.unplug_after_ms,
                [](gpointer data) -> gboolean {
                    static_cast<PrinterUnit *>(data)->unplug();
                    return G_SOURCE_REMOVE;
                },
                printer);
        }
        if (o.replug_after_ms) {
            struct Replug {
                Parts *parts;
                PrinterUnit *printer;
            };
            g_timeout_add_full(
                G_PRIORITY_DEFAULT, *o.replug_after_ms,
                [](gpointer data) -> gboolean {
                    static_cast<Replug *>(data)->printer->leave_usb();
                    g_timeout_add(
                        kReplugAwayMs,
                        [](gpointer data) -> gboolean {
                            const auto *replug = static_cast<Replug *>(data);
                            Parts *parts = replug->parts;
                            std::string error;
                            if (!replug->printer->return_usb(parts->next_usb_address++,
                                                             parts->next_lp_number++, error)) {
                                std::fprintf(stderr, "Orvy_Simulator: replug: %s\n", error.c_str());
                            }
                            return G_SOURCE_REMOVE;
                        },
                        data);
                    return G_SOURCE_REMOVE;
                },
                new Replug{parts_.get(), printer}, nullptr);
        }
        if (o.babble_ms > 0) {
            g_timeout_add(
                o.babble_ms,
                [](gpointer data) -> gboolean {
                    auto *printer = static_cast<PrinterUnit *>(data);
                    std::lock_guard lock(printer->shared().mutex);
                    printer->send_now({0x55});
                    return G_SOURCE_CONTINUE;
                },
                printer);
        }
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
        // The printer goes on printing what it holds after the program has
        // ended: the receipt shows the whole job.
        for (auto &printer : parts_->printers) printer->shared().engine.finish();
        if (parts_->control) parts_->control->remove();
        // A receipt or transcript that lost lines fails the run, whatever the
        // command did: a test that compares it would fail for a reason that
        // nobody sees. Each loss was reported when it happened.
        bool incomplete = parts_->transcript.failed();
        for (auto &printer : parts_->printers) {
            incomplete = incomplete || printer->shared().engine.receipt_failed();
        }
        if (command_ended_ && incomplete) {
            std::fprintf(stderr,
                         "Orvy_Simulator: exit 125, not the command's %d: a record is "
                         "incomplete\n",
                         status);
            status = 125;
        }
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
    child_ =
        spawn_child(command_or_shell(options_.command),
                    {{"TMPDIR", caller_tmpdir_}, {"ORVY_SIM_CONTROL", parts_->control->path()}},
                    error);
    if (child_ < 0) finish(fail(error));
    set_crash_cleanup(child_, nullptr);

    g_child_watch_add(
        child_,
        [](GPid, gint wait_status, gpointer data) {
            auto *self = static_cast<Simulator *>(data);
            self->exit_status_ = exit_status_of(wait_status);
            self->command_ended_ = true;
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
