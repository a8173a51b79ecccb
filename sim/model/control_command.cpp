#include "control_command.h"

#include <map>
#include <sstream>
#include <vector>

namespace orvy::sim {
namespace {

constexpr std::size_t kLongestQuote = 80;

bool parse_unsigned(const std::string &word, std::uint64_t max, std::uint64_t &value)
{
    if (word.empty() || word.size() > 12) return false;
    value = 0;
    for (const char c : word) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value <= max;
}

}  // namespace

ParsedControl parse_control_line(const std::string &line, unsigned printers)
{
    using Kind = ControlCommand::Kind;
    static const std::map<std::string, std::pair<Kind, std::size_t>> kKinds{
        {"load", {Kind::Load, 3}},     {"paper-out", {Kind::PaperOut, 2}},
        {"unplug", {Kind::Unplug, 2}}, {"plug", {Kind::Plug, 2}},
        {"silent", {Kind::Silent, 2}}, {"answer", {Kind::Answer, 2}}};
    ParsedControl parsed;
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    if (words.empty()) {
        parsed.error = "empty command";
        return parsed;
    }
    const auto kind = kKinds.find(words[0]);
    if (kind == kKinds.end()) {
        parsed.error = "unknown command '" + clipped(words[0]) + "'";
        return parsed;
    }
    if (words.size() != kind->second.second) {
        parsed.error =
            kind->second.second == 3 ? "usage: load PRINTER MM" : "usage: " + words[0] + " PRINTER";
        return parsed;
    }
    parsed.command.kind = kind->second.first;
    std::uint64_t printer = 0;
    if (!parse_unsigned(words[1], printers, printer) || printer == 0) {
        parsed.error =
            "no printer '" + clipped(words[1]) + "' (1 to " + std::to_string(printers) + ")";
        return parsed;
    }
    parsed.command.printer = static_cast<unsigned>(printer);
    if (words.size() == 3 &&
        !parse_unsigned(words[2], 10ULL * 1000 * 1000, parsed.command.paper_mm)) {
        parsed.error = "bad paper length '" + clipped(words[2]) + "' (mm)";
    }
    return parsed;
}

std::string clipped(const std::string &text)
{
    if (text.size() <= kLongestQuote) return text;
    return text.substr(0, kLongestQuote) + "...";
}

}  // namespace orvy::sim
