// One printer's print path at run time: the receive buffer that all its
// ports fill, drained on the main loop at the print rate, the receipt file,
// and the ports that wait for room in the buffer. Call everything with the
// shared mutex held, from any thread.
#pragma once

#include <glib.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "print_buffer.h"
#include "printer.h"
#include "record_file.h"
#include "transcript.h"

namespace orvy::sim {

// A port whose host bytes wait for room in the buffer.
class RoomWaiter {
public:
    virtual void room_freed() = 0;

protected:
    ~RoomWaiter() = default;
};

class PrintEngine {
public:
    PrintEngine(Printer &printer, std::mutex &mutex, GMainContext *context, std::size_t capacity,
                std::uint32_t rate);
    ~PrintEngine();
    PrintEngine(const PrintEngine &) = delete;
    PrintEngine &operator=(const PrintEngine &) = delete;

    // Writes the receipt to `path` from now on. False, with errno set, when
    // it cannot.
    bool open_receipt(const std::string &path);
    // A line of the receipt could not be written: it is incomplete.
    bool receipt_failed() const { return receipt_.failed(); }

    // How many of `size` bytes, in packets of `packet` bytes (0: any
    // amount), fit into the buffer now.
    std::size_t fitting(std::size_t size, std::size_t packet) const;
    // Bytes the host sent, as parsed; the printer prints them in time.
    void take(std::vector<Command> commands);
    // Prints what the rate allows up to now, so that an inquiry sees it.
    void catch_up();
    // The roll changed (loaded, ran out): printing may go on or stop.
    void paper_changed();
    // The run ends: what the printer can print now is printed at once.
    void finish();

    void add_waiter(RoomWaiter *waiter);
    void remove_waiter(RoomWaiter *waiter);

private:
    static gboolean on_timer(gpointer self);
    void drain();
    void arm();

    Printer &printer_;
    std::mutex &mutex_;
    GMainContext *context_;
    PrintBuffer buffer_;
    RecordFile receipt_;
    GSource *timer_ = nullptr;
    std::vector<RoomWaiter *> waiters_;
};

}  // namespace orvy::sim
