#include "printer_link.h"

#include "answer_shaping.h"

namespace orvy::sim {

PrinterLink::PrinterLink(SharedPrinter &shared, const char *port, DeliveryQueue::Deliver deliver)
    : shared_(shared), port_(port), deliver_(deliver),
      queue_(shared.mutex, shared.context, std::move(deliver))
{}

void PrinterLink::host_sent(const std::uint8_t *data, std::size_t size)
{
    shared_.transcript.data(port_, true, data, size);
    const Options &o = shared_.options;
    for (const Command &command : parser_.feed(data, size)) {
        auto answer = shared_.printer.execute(command);
        if (!answer || o.silent) continue;
        queue_.push(shape_answer(std::move(*answer), o.shape), o.delay_ms, o.trickle_ms);
    }
}

void PrinterLink::send_now(Bytes bytes)
{
    if (!bytes.empty()) deliver_(std::move(bytes));
}

}  // namespace orvy::sim
