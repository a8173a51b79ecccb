// Answers on their way out of one port: held back by --delay-ms, dealt out
// one byte at a time by --trickle-ms, always in the order they were made.
// Timers run on the main context; every call, and the delivery callback,
// happens with the shared mutex held.
#pragma once

#include <glib.h>

#include <deque>
#include <functional>
#include <mutex>

#include "bytes.h"

namespace orvy::sim {

class DeliveryQueue {
public:
    using Deliver = std::function<void(Bytes)>;

    DeliveryQueue(std::mutex &mutex, GMainContext *context, Deliver deliver);
    ~DeliveryQueue();
    DeliveryQueue(const DeliveryQueue &) = delete;
    DeliveryQueue &operator=(const DeliveryQueue &) = delete;

    void push(Bytes answer, unsigned delay_ms, unsigned trickle_ms);
    // Drops what is still waiting; later pushes are ignored.
    void stop();

private:
    struct Item {
        gint64 due_us;
        Bytes bytes;
    };
    void arm();
    void disarm();
    static gboolean on_timer(gpointer self);

    std::mutex &mutex_;
    GMainContext *context_;
    Deliver deliver_;
    std::deque<Item> items_;
    GSource *timer_ = nullptr;
    bool stopped_ = false;
};

}  // namespace orvy::sim
