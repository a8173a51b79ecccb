#include "print_buffer.h"

#include <algorithm>
#include <limits>

namespace orvy::sim {
namespace {

constexpr std::uint64_t kMicro = 1000000;

}  // namespace

bool PrintBuffer::fits(std::size_t size) const
{
    return capacity_ == 0 || used_ == 0 || used_ + size <= capacity_;
}

std::size_t PrintBuffer::room() const
{
    if (capacity_ == 0) return std::numeric_limits<std::size_t>::max();
    return used_ >= capacity_ ? 0 : capacity_ - used_;
}

void PrintBuffer::push(Command command, std::int64_t now_us)
{
    if (command.bytes.empty()) return;
    // The rate runs while there is something to print, it is never saved up.
    if (queue_.empty()) {
        accounted_us_ = now_us;
        credit_ = 0;
    }
    used_ += command.bytes.size();
    queue_.push_back(std::move(command));
}

bool PrintBuffer::drain(Printer &printer, std::int64_t now_us)
{
    if (queue_.empty()) return false;
    if (rate_ == 0) return hand_over(printer, std::numeric_limits<std::size_t>::max()) > 0;
    if (stopped_) {
        // Time spent waiting for paper printed nothing.
        accounted_us_ = now_us;
        credit_ = 0;
    }
    if (now_us > accounted_us_) {
        credit_ += static_cast<std::uint64_t>(now_us - accounted_us_) * rate_;
        accounted_us_ = now_us;
    }
    const std::size_t drained = hand_over(printer, static_cast<std::size_t>(credit_ / kMicro));
    credit_ -= drained * kMicro;
    if (queue_.empty() || stopped_) credit_ = 0;
    return drained > 0;
}

void PrintBuffer::finish(Printer &printer)
{
    hand_over(printer, std::numeric_limits<std::size_t>::max());
}

std::size_t PrintBuffer::hand_over(Printer &printer, std::size_t budget)
{
    std::size_t drained = 0;
    stopped_ = false;
    while (!queue_.empty() && drained < budget) {
        Command &front = queue_.front();
        const std::size_t left = front.bytes.size() - front_done_;
        if (front.kind == Command::Kind::PrintData) {
            const std::size_t want = std::min(left, budget - drained);
            const std::size_t printed = printer.print(front.bytes.data() + front_done_, want);
            front_done_ += printed;
            drained += printed;
            if (printed < want) stopped_ = true;
        } else {
            if (left > budget - drained) break;  // the rest of the command comes later
            if (!printer.run(front)) {
                stopped_ = true;
            } else {
                drained += left;
                front_done_ = front.bytes.size();
            }
        }
        if (stopped_) break;
        if (front_done_ == front.bytes.size()) {
            queue_.pop_front();
            front_done_ = 0;
        }
    }
    used_ -= drained;
    return drained;
}

std::optional<std::int64_t> PrintBuffer::wait_for(std::size_t size, std::int64_t now_us) const
{
    if (queue_.empty() || stopped_ || rate_ == 0) return std::nullopt;
    const std::uint64_t needed = size * kMicro;
    std::uint64_t credit = credit_;
    if (now_us > accounted_us_)
        credit += static_cast<std::uint64_t>(now_us - accounted_us_) * rate_;
    if (credit >= needed) return 0;
    return static_cast<std::int64_t>((needed - credit + rate_ - 1) / rate_);
}

}  // namespace orvy::sim
