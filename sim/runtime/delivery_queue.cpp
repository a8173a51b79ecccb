#include "delivery_queue.h"

#include <algorithm>

namespace orvy::sim {

DeliveryQueue::DeliveryQueue(std::mutex &mutex, GMainContext *context, Deliver deliver)
    : mutex_(mutex), context_(context), deliver_(std::move(deliver))
{}

DeliveryQueue::~DeliveryQueue() { disarm(); }

void DeliveryQueue::push(Bytes answer, unsigned delay_ms, unsigned trickle_ms)
{
    if (stopped_ || answer.empty()) return;
    if (delay_ms == 0 && trickle_ms == 0 && items_.empty()) {
        deliver_(std::move(answer));
        return;
    }
    gint64 due = g_get_monotonic_time() + gint64{delay_ms} * 1000;
    if (!items_.empty()) due = std::max(due, items_.back().due_us);
    if (trickle_ms == 0) {
        items_.push_back({due, std::move(answer)});
    } else {
        for (std::uint8_t byte : answer) {
            items_.push_back({due, Bytes{byte}});
            due += gint64{trickle_ms} * 1000;
        }
    }
    arm();
}

void DeliveryQueue::stop()
{
    stopped_ = true;
    items_.clear();
    disarm();
}

void DeliveryQueue::disarm()
{
    if (!timer_) return;
    g_source_destroy(timer_);
    g_source_unref(timer_);
    timer_ = nullptr;
}

void DeliveryQueue::arm()
{
    disarm();
    if (items_.empty()) return;
    const gint64 wait_us = std::max<gint64>(0, items_.front().due_us - g_get_monotonic_time());
    timer_ = g_timeout_source_new(static_cast<guint>((wait_us + 999) / 1000));
    g_source_set_callback(timer_, &DeliveryQueue::on_timer, this, nullptr);
    g_source_attach(timer_, context_);
}

gboolean DeliveryQueue::on_timer(gpointer data)
{
    auto *self = static_cast<DeliveryQueue *>(data);
    std::lock_guard lock(self->mutex_);
    // A push from another thread may have replaced this timer meanwhile.
    if (g_main_current_source() != self->timer_) return G_SOURCE_REMOVE;
    g_source_unref(self->timer_);
    self->timer_ = nullptr;
    const gint64 now = g_get_monotonic_time();
    while (!self->items_.empty() && self->items_.front().due_us <= now) {
        Bytes bytes = std::move(self->items_.front().bytes);
        self->items_.pop_front();
        self->deliver_(std::move(bytes));
    }
    self->arm();
    return G_SOURCE_REMOVE;
}

}  // namespace orvy::sim
