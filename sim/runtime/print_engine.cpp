#include "print_engine.h"

#include <algorithm>

namespace orvy::sim {
namespace {

// While bytes wait, the printer looks at least this often whether it has
// printed enough to take more; a waiting USB packet is taken within 1 ms of
// its room.
constexpr std::int64_t kLongestTickUs = 10000;
constexpr std::int64_t kShortestTickUs = 1000;

}  // namespace

PrintEngine::PrintEngine(Printer &printer, std::mutex &mutex, GMainContext *context,
                         std::size_t capacity, std::uint32_t rate)
    : printer_(printer), mutex_(mutex), context_(context), buffer_(capacity, rate)
{}

PrintEngine::~PrintEngine()
{
    if (timer_) {
        g_source_destroy(timer_);
        g_source_unref(timer_);
    }
}

bool PrintEngine::open_receipt(const std::string &path)
{
    if (!receipt_.open(path, "the receipt")) return false;
    printer_.set_receipt_sink([this](const std::string &line) { receipt_.write_line(line); });
    return true;
}

std::size_t PrintEngine::fitting(std::size_t size, std::size_t packet) const
{
    if (packet == 0) return std::min(size, buffer_.room());
    std::size_t taken = 0;
    while (taken < size) {
        const std::size_t next = std::min(packet, size - taken);
        // An empty buffer takes a packet of any size.
        if (!(buffer_.used() + taken == 0 || next + taken <= buffer_.room())) break;
        taken += next;
    }
    return taken;
}

void PrintEngine::take(std::vector<Command> commands)
{
    const std::int64_t now = g_get_monotonic_time();
    for (Command &command : commands) buffer_.push(std::move(command), now);
    drain();
    arm();
}

void PrintEngine::catch_up() { drain(); }

void PrintEngine::paper_changed()
{
    drain();
    arm();
}

void PrintEngine::finish()
{
    buffer_.finish(printer_);
    printer_.flush_receipt();
}

void PrintEngine::add_waiter(RoomWaiter *waiter) { waiters_.push_back(waiter); }

void PrintEngine::remove_waiter(RoomWaiter *waiter)
{
    waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), waiter), waiters_.end());
}

void PrintEngine::drain()
{
    if (!buffer_.drain(printer_, g_get_monotonic_time())) return;
    // Over a copy: a waiter that takes bytes drains again and may come back here.
    for (RoomWaiter *waiter : std::vector<RoomWaiter *>(waiters_)) waiter->room_freed();
}

void PrintEngine::arm()
{
    if (timer_) return;  // it fires soon and arms again
    const auto wait =
        buffer_.wait_for(std::max<std::size_t>(buffer_.used(), 1), g_get_monotonic_time());
    if (!wait) return;
    const std::int64_t us = std::clamp(*wait, kShortestTickUs, kLongestTickUs);
    timer_ = g_timeout_source_new(static_cast<guint>(us / 1000));
    g_source_set_callback(timer_, &PrintEngine::on_timer, this, nullptr);
    g_source_attach(timer_, context_);
}

gboolean PrintEngine::on_timer(gpointer data)
{
    auto *self = static_cast<PrintEngine *>(data);
    std::lock_guard lock(self->mutex_);
    if (g_main_current_source() != self->timer_) return G_SOURCE_REMOVE;
    g_source_unref(self->timer_);
    self->timer_ = nullptr;
    self->drain();
    self->arm();
    return G_SOURCE_REMOVE;
}

}  // namespace orvy::sim
