#include "printer.h"

namespace orvy::sim {

std::optional<Bytes> Printer::execute(const Command &command)
{
    using Kind = Command::Kind;
    switch (command.kind) {
    case Kind::Sync: ++sync_bytes_; break;
    case Kind::FormFeed: feed_page(); break;
    case Kind::Inquiry: return answer_to_inquiry(command.bytes[2]);
    case Kind::FullCut: cut(); break;
    case Kind::PageLength: set_page_length(command.bytes[5], command.bytes[6]); break;
    case Kind::HardReset: hard_reset(); break;
    case Kind::Unknown: ++unknown_commands_; break;
    case Kind::PrintData: print(command.bytes.size()); break;
    }
    return std::nullopt;
}

std::optional<Bytes> Printer::answer_to_inquiry(std::uint8_t mask) const
{
    const InquiryKind *kind = find_inquiry(mask);
    if (kind == nullptr) return std::nullopt;
    Bytes answer{0x1B, 0xFF, kind->type, kind->size};
    const Bytes record = build_record(*kind, counters_);
    answer.insert(answer.end(), record.begin(), record.end());
    return answer;
}

void Printer::feed_page()
{
    ++form_feeds_;
    ++counters_.print_job_id;
    ++counters_.processed_pages;
    const auto length_mm = static_cast<std::uint32_t>(page_length_tenth_mm_ / 10);
    counters_.paper_transported_mm += length_mm;
    counters_.distance_stepped_mm += length_mm;
}

// The sender splits the length as hi * 255 + lo.
void Printer::set_page_length(std::uint8_t hi, std::uint8_t lo)
{
    page_length_tenth_mm_ = hi * 255 + lo;
}

// A hard reset restarts the firmware; settings such as the page length stay.
void Printer::hard_reset()
{
    ++counters_.hard_resets;
    ++counters_.system_starts;
}

void Printer::cut()
{
    ++counters_.paper_cuts;
    ++counters_.ejected_pages;
}

void Printer::print(std::size_t bytes)
{
    print_bytes_ += bytes;
    counters_.distance_burned_mm = 2749321u + static_cast<std::uint32_t>(print_bytes_ / 16);
}

}  // namespace orvy::sim
