#include "printer_link.h"

#include "answer_shaping.h"

namespace orvy::sim {

PrinterLink::PrinterLink(SharedPrinter &shared, const char *port, DeliveryQueue::Deliver deliver)
    : shared_(shared), port_(port), deliver_(deliver),
      queue_(shared.mutex, shared.context, std::move(deliver))
{}

// Inquiries are answered on arrival, ahead of the print data that waits in
// the buffer, as the printer's firmware does; everything else goes into the
// buffer in order.
void PrinterLink::host_sent(const std::uint8_t *data, std::size_t size)
{
    if (shared_.control) shared_.control->poll();
    shared_.transcript.data(port_, true, data, size);
    const Options &o = shared_.options;
    std::vector<Command> to_print;
    for (Command &command : parser_.feed(data, size)) {
        if (command.kind != Command::Kind::Inquiry) {
            to_print.push_back(std::move(command));
            continue;
        }
        if (!to_print.empty()) shared_.engine.take(std::move(to_print));
        to_print.clear();
        shared_.engine.catch_up();
        auto answer = shared_.printer.execute(command);
        if (!answer || o.silent) continue;
        queue_.push(shape_answer(std::move(*answer), o.shape), o.delay_ms, o.trickle_ms);
    }
    if (!to_print.empty()) shared_.engine.take(std::move(to_print));
}

void PrinterLink::send_now(Bytes bytes)
{
    if (!bytes.empty()) deliver_(std::move(bytes));
}

}  // namespace orvy::sim
