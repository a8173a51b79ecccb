// The paper roll: how much is left, where its near-end mark lies, and the
// paper that printing takes from it. Lengths are in micrometres, so that
// line heights of 3.75 mm add up without rounding.
#pragma once

#include <algorithm>
#include <cstdint>

namespace orvy::sim {

// An 80 mm head of 576 dots at 8 dots per millimetre: 48 characters of 12
// dots per line; a line is a 24-dot character row plus 6 dots of spacing.
inline constexpr unsigned kCharactersPerLine = 48;
inline constexpr std::uint64_t kLineHeightUm = 3750;
// A cut first moves the last printed line past the blade.
inline constexpr std::uint64_t kCutFeedUm = 12000;

class PaperRoll {
public:
    PaperRoll(std::uint64_t paper_mm, std::uint64_t near_end_mm)
        : left_um_(paper_mm * 1000), near_end_um_(near_end_mm * 1000)
    {}

    bool empty() const { return left_um_ == 0; }
    // The pre-end sensor sees the core through the last turns of paper.
    bool near_end() const { return empty() || left_um_ < near_end_um_; }
    std::uint64_t left_um() const { return left_um_; }

    // Takes up to `um` from the roll; returns what it had.
    std::uint64_t take(std::uint64_t um)
    {
        const std::uint64_t taken = std::min(um, left_um_);
        left_um_ -= taken;
        return taken;
    }
    void load(std::uint64_t paper_mm) { left_um_ = paper_mm * 1000; }
    void run_out() { left_um_ = 0; }

private:
    std::uint64_t left_um_;
    std::uint64_t near_end_um_;
};

}  // namespace orvy::sim
