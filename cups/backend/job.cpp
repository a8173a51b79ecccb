#include "job.h"

#include <Orvy_Api.h>
#include <cups/backend.h>
#include <cups/sidechannel.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

#include "command_boundary.h"
#include "printer_finder.h"
#include "side_channel.h"
#include "state_reporter.h"
#include "status_poll.h"

namespace orvy::backend {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

volatile std::sig_atomic_t g_stop = 0;

constexpr unsigned long kWriteSliceMs = 250;  // the longest a cancel waits for a write
constexpr milliseconds kPollWhileHeld{500};   // status while the printer takes nothing
constexpr milliseconds kPollWhilePrinting{2000};
constexpr std::size_t kChunk = 16 * 1024;
constexpr const char *kPrinting = "Printing";

struct CloseConnection {
    void operator()(orvy_api_conn *conn) const { orvy_api_conn_close(conn); }
};
using Connection = std::unique_ptr<orvy_api_conn, CloseConnection>;

enum class Sent { All, Gone, Stopped, Failed };

class Job {
public:
    Job(std::string serial, const JobInput &input) : serial_(std::move(serial)), input_(input) {}
    int run();

private:
    // Until the printer is open and able to print; an exit status otherwise.
    std::optional<int> connect();
    std::optional<int> open_printer();
    bool ready_to_print();
    Sent send(const std::uint8_t *data, std::size_t size);
    // Ends a command of the printer that a cancel cut short, from what is at hand.
    void complete_command(const std::uint8_t *data, std::size_t size);
    std::optional<int> send_input();
    void poll_status();
    // Polls when `interval` has passed since the last poll and the job's
    // bytes stand between two commands; false when the printer went away.
    bool poll_status_if_due(milliseconds interval);
    // Waits up to `time` for a side-channel request or a stop; serves it.
    void pause(milliseconds time);
    // Serves a side-channel request that comes within `wait`.
    void serve_side_channel_within(milliseconds wait);
    void serve_side_channel();
    void finish_drain_if_idle();
    int state_bits() const;
    int printer_gone();

    std::string serial_;
    JobInput input_;
    StateReporter reporter_;
    std::optional<AttachedPrinter> printer_;
    Connection conn_;
    std::optional<StatusPoll> status_;
    PrinterConditions conditions_;
    Clock::time_point last_poll_{};
    CommandBoundary boundary_;
    unsigned long long taken_ = 0;  // bytes the printer has taken
    bool drain_pending_ = false;
};

bool stopping() { return g_stop != 0; }

int Job::state_bits() const
{
    if (!conn_) return CUPS_SC_STATE_OFFLINE;
    int bits = CUPS_SC_STATE_ONLINE;
    if (conditions_.media_low) bits |= CUPS_SC_STATE_MEDIA_LOW;
    if (conditions_.media_empty) bits |= CUPS_SC_STATE_MEDIA_EMPTY;
    if (conditions_.stopped() && !conditions_.media_empty) bits |= CUPS_SC_STATE_ERROR;
    return bits;
}

void Job::serve_side_channel()
{
    SideChannelAnswers answers{
        [this] { return printer_ ? printer_->device_id : std::string(); },
        [this] { return state_bits(); },
        [this] { return conn_ != nullptr; },
    };
    if (SideChannel::serve(answers)) drain_pending_ = true;
}

void Job::serve_side_channel_within(milliseconds wait)
{
    pollfd side{SideChannel::descriptor(), POLLIN, 0};
    if (poll(&side, 1, static_cast<int>(wait.count())) > 0 && (side.revents & POLLIN)) {
        serve_side_channel();
    }
}

void Job::pause(milliseconds time)
{
    const auto end = Clock::now() + time;
    while (!stopping()) {
        const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now());
        if (left.count() <= 0) return;
        serve_side_channel_within(left);
    }
}

void Job::poll_status()
{
    if (!status_) return;
    last_poll_ = Clock::now();
    const PrinterRecords records = status_->read();
    if (records.status.empty()) return;  // nothing new: keep what is shown
    conditions_ = conditions_of(records);
    reporter_.show(conditions_.conditions, kPrinting);
}

bool Job::poll_status_if_due(milliseconds interval)
{
    if (!boundary_.at_boundary() || Clock::now() - last_poll_ < interval) return true;
    poll_status();
    return !status_->gone();
}

std::optional<int> Job::open_printer()
{
    orvy_api_conn *conn = nullptr;
    const int code = orvy_api_conn_open(printer_->usb_port.c_str(), &conn);
    const int error = errno;
    if (code == ORVY_API_OK) {
        conn_.reset(conn);
        status_.emplace(conn);
        return std::nullopt;
    }
    const std::string where = "printer " + serial_ + " at " + printer_->usb_port;
    if ((code == ORVY_API_E_OPEN && (error == EACCES || error == EPERM)) ||
        code == ORVY_API_E_KERNEL_DRIVER) {
        reporter_.error("Cannot open " + where + ": " + orvy_api_strerror(code) +
                        " (the backend runs as user lp: install the toolkit's udev rule, "
                        "which gives group lp the printer)");
        return CUPS_BACKEND_STOP;
    }
    if (code == ORVY_API_E_INTERFACE_BUSY || (code == ORVY_API_E_OPEN && error == EBUSY)) {
        reporter_.connecting("Printer busy: another program holds " + where);
    } else {
        reporter_.debug("open " + printer_->usb_port + ": " + orvy_api_strerror(code));
    }
    printer_.reset();
    return std::nullopt;
}

std::optional<int> Job::connect()
{
    while (!stopping()) {
        if (!conn_) {
            printer_ = attached_printer(serial_);
            if (!printer_) {
                reporter_.connecting("Waiting for printer " + serial_ + " to be connected");
                pause(milliseconds(1000));
                continue;
            }
            if (auto failed = open_printer()) return failed;
            if (!conn_) {
                pause(milliseconds(1000));
                continue;
            }
        }
        if (ready_to_print()) return std::nullopt;
        if (status_->gone()) {
            conn_.reset();
            status_.reset();
        }
    }
    return CUPS_BACKEND_OK;
}

// Before the first byte: a printer out of paper (or otherwise stopped) would
// take a small job into its buffer and call it done; wait instead, saying why.
bool Job::ready_to_print()
{
    while (!stopping()) {
        poll_status();
        if (status_->gone()) return false;
        if (!conditions_.stopped()) return true;
        pause(milliseconds(1000));
    }
    return false;
}

void Job::complete_command(const std::uint8_t *data, std::size_t size)
{
    const std::size_t rest = std::min(boundary_.remaining(), size);
    if (rest == 0) return;
    const long n = orvy_api_conn_write(conn_.get(), data, rest, kWriteSliceMs);
    if (n > 0) {
        boundary_.feed(data, static_cast<std::size_t>(n));
        taken_ += static_cast<unsigned long long>(n);
    }
}

Sent Job::send(const std::uint8_t *data, std::size_t size)
{
    std::size_t offset = 0;
    while (offset < size) {
        if (stopping()) {
            complete_command(data + offset, size - offset);
            return Sent::Stopped;
        }
        const long n =
            orvy_api_conn_write(conn_.get(), data + offset, size - offset, kWriteSliceMs);
        if (n == ORVY_API_E_GONE) return Sent::Gone;
        if (n < 0) {
            reporter_.error(std::string("Writing to the printer failed: ") +
                            orvy_api_strerror(static_cast<int>(n)));
            return Sent::Failed;
        }
        boundary_.feed(data + offset, static_cast<std::size_t>(n));
        offset += static_cast<std::size_t>(n);
        taken_ += static_cast<unsigned long long>(n);
        const bool held = offset < size;
        if (!poll_status_if_due(held ? kPollWhileHeld : kPollWhilePrinting)) return Sent::Gone;
        serve_side_channel_within(milliseconds(0));
    }
    return Sent::All;
}

void Job::finish_drain_if_idle()
{
    if (!drain_pending_) return;
    pollfd in{input_.fd, POLLIN, 0};
    if (poll(&in, 1, 0) > 0) return;  // the filters' bytes are not all here yet
    SideChannel::finish_drain(true);
    drain_pending_ = false;
}

int Job::printer_gone()
{
    reporter_.error("Printer " + serial_ + " was unplugged after it had taken " +
                    std::to_string(taken_) + " bytes of the job; the job will be retried");
    return CUPS_BACKEND_RETRY;
}

std::optional<int> Job::send_input()
{
    std::vector<std::uint8_t> chunk(kChunk);
    for (int copy = 0; copy < input_.copies; ++copy) {
        if (copy > 0 && lseek(input_.fd, 0, SEEK_SET) < 0) {
            reporter_.error(std::string("Cannot read the print file again: ") +
                            std::strerror(errno));
            return CUPS_BACKEND_FAILED;
        }
        for (;;) {
            if (stopping()) return CUPS_BACKEND_OK;
            pollfd fds[2] = {{input_.fd, POLLIN, 0}, {SideChannel::descriptor(), POLLIN, 0}};
            const int ready = poll(fds, 2, static_cast<int>(kWriteSliceMs));
            if (ready < 0 && errno != EINTR) return CUPS_BACKEND_FAILED;
            if (ready > 0 && (fds[1].revents & POLLIN)) serve_side_channel();
            if (ready <= 0 || !(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
                finish_drain_if_idle();
                if (!poll_status_if_due(kPollWhilePrinting)) return printer_gone();
                continue;
            }
            const ssize_t got = read(input_.fd, chunk.data(), chunk.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                reporter_.error(std::string("Cannot read the job: ") + std::strerror(errno));
                return CUPS_BACKEND_FAILED;
            }
            if (got == 0) break;
            switch (send(chunk.data(), static_cast<std::size_t>(got))) {
            case Sent::All: break;
            case Sent::Stopped: return CUPS_BACKEND_OK;
            case Sent::Gone: return printer_gone();
            case Sent::Failed: return CUPS_BACKEND_FAILED;
            }
            finish_drain_if_idle();
        }
    }
    if (drain_pending_) SideChannel::finish_drain(true);
    return std::nullopt;
}

int Job::run()
{
    if (auto failed = connect()) return *failed;
    if (stopping()) return CUPS_BACKEND_OK;
    reporter_.info(kPrinting);
    if (auto ended = send_input()) return *ended;
    // The printer has taken the last byte: done, without waiting for it to print.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    char when[64];
    std::snprintf(when, sizeof when, "%lld.%06ld", static_cast<long long>(now.tv_sec),
                  now.tv_nsec / 1000);
    reporter_.debug("The printer has taken all " + std::to_string(taken_) + " bytes at " + when);
    conn_.reset();
    reporter_.info("Sent the job to the printer");
    return CUPS_BACKEND_OK;
}

}  // namespace

void request_stop() { g_stop = 1; }

int run_job(const std::string &serial, const JobInput &input)
{
    Job job(serial, input);
    return job.run();
}

}  // namespace orvy::backend
