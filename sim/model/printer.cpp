#include "printer.h"

namespace orvy::sim {

std::optional<Bytes> Printer::execute(const Command &command)
{
    if (command.kind == Command::Kind::Inquiry) return answer_to_inquiry(command.bytes[2]);
    if (command.kind == Command::Kind::PrintData) {
        print(command.bytes.data(), command.bytes.size());
    } else {
        run(command);
    }
    return std::nullopt;
}

bool Printer::run(const Command &command)
{
    using Kind = Command::Kind;
    switch (command.kind) {
    case Kind::Sync:
        ++sync_bytes_;
        receipt_.sync_byte();
        return true;
    case Kind::FormFeed: return feed_page();
    case Kind::FullCut: return cut();
    case Kind::PageLength: set_page_length(command.bytes[5], command.bytes[6]); break;
    case Kind::HardReset: hard_reset(); break;
    case Kind::Unknown: ++unknown_commands_; break;
    case Kind::Inquiry: return true;  // answered on arrival, never printed
    case Kind::PrintData:
        return print(command.bytes.data(), command.bytes.size()) == command.bytes.size();
    }
    receipt_.command(command.bytes);
    return true;
}

std::size_t Printer::print(const std::uint8_t *data, std::size_t size)
{
    std::size_t done = 0;
    for (; done < size; ++done) {
        const std::uint8_t byte = data[done];
        if (byte == 0x0A) {
            if (!feed_line()) break;
            continue;
        }
        const bool character = byte >= 0x20 && byte <= 0x7E;
        // A full line wraps onto the next, as the head has no more dots.
        if (character && line_characters_ == kCharactersPerLine && !feed_line()) break;
        if (character) ++line_characters_;
        receipt_.add_to_line(byte);
    }
    print_bytes_ += done;
    counters_.distance_burned_mm = 2749321u + static_cast<std::uint32_t>(print_bytes_ / 16);
    return done;
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

void Printer::load_paper(std::uint64_t paper_mm)
{
    roll_.load(paper_mm);
    ++counters_.paper_loads;
    update_paper_state();
}

void Printer::run_out_of_paper()
{
    roll_.run_out();
    update_paper_state();
}

std::uint64_t Printer::advance(std::uint64_t um)
{
    const std::uint64_t taken = roll_.take(um);
    page_position_um_ += taken;
    transported_rest_um_ += taken;
    const auto mm = static_cast<std::uint32_t>(transported_rest_um_ / 1000);
    transported_rest_um_ %= 1000;
    counters_.paper_transported_mm += mm;
    counters_.distance_stepped_mm += mm;
    update_paper_state();
    return taken;
}

bool Printer::feed_line()
{
    if (roll_.empty()) return false;
    advance(kLineHeightUm);
    receipt_.print_line();
    line_characters_ = 0;
    return true;
}

// The line that waits is printed first; then the paper moves on to the end
// of the page that the page length sets.
bool Printer::feed_page()
{
    if (roll_.empty()) return false;
    if (!receipt_.line_is_empty() && !feed_line()) return false;
    const auto page_um = static_cast<std::uint64_t>(page_length_tenth_mm_) * 100;
    if (page_um > page_position_um_) advance(page_um - page_position_um_);
    receipt_.form_feed();
    page_position_um_ = 0;
    ++form_feeds_;
    ++counters_.print_job_id;
    ++counters_.processed_pages;
    return true;
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

bool Printer::cut()
{
    if (roll_.empty()) return false;
    if (!receipt_.line_is_empty() && !feed_line()) return false;
    advance(kCutFeedUm);
    receipt_.cut();
    page_position_um_ = 0;
    ++counters_.paper_cuts;
    ++counters_.ejected_pages;
    return true;
}

void Printer::update_paper_state()
{
    counters_.paper_near_end = roll_.near_end();
    counters_.paper_out = roll_.empty();
}

}  // namespace orvy::sim
