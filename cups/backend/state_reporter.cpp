#include "state_reporter.h"

namespace orvy::backend {
namespace {

std::string joined(const std::set<std::string> &names)
{
    std::string out;
    for (const std::string &name : names) out += (out.empty() ? "" : ",") + name;
    return out;
}

}  // namespace

StateReporter::StateReporter(std::FILE *out) : out_(out) {}

void StateReporter::line(const char *prefix, const std::string &text)
{
    std::fprintf(out_, "%s: %s\n", prefix, text.c_str());
    std::fflush(out_);
}

void StateReporter::set_reasons(const std::set<std::string> &wanted)
{
    std::set<std::string> gone;
    std::set<std::string> candidates = shown_;
    if (first_) {
        // Reasons of an earlier job stay with the queue until taken back.
        candidates.insert(all_reasons().begin(), all_reasons().end());
        candidates.insert(kConnecting);
        first_ = false;
    }
    for (const std::string &reason : candidates) {
        if (!wanted.count(reason)) gone.insert(reason);
    }
    std::set<std::string> added;
    for (const std::string &reason : wanted) {
        if (!shown_.count(reason)) added.insert(reason);
    }
    if (!gone.empty()) line("STATE", "-" + joined(gone));
    if (!added.empty()) line("STATE", "+" + joined(added));
    shown_ = wanted;
}

void StateReporter::show(const std::vector<Condition> &conditions, const std::string &idle_message)
{
    std::set<std::string> wanted;
    std::string message;
    for (const Condition &c : conditions) {
        wanted.insert(c.reason);
        message += (message.empty() ? "" : "; ") + c.message;
    }
    set_reasons(wanted);
    info(message.empty() ? idle_message : message);
}

void StateReporter::connecting(const std::string &message)
{
    std::set<std::string> wanted = shown_;
    wanted.insert(kConnecting);
    set_reasons(wanted);
    info(message);
}

void StateReporter::info(const std::string &message)
{
    if (message == message_) return;
    message_ = message;
    line("INFO", message);
}

void StateReporter::error(const std::string &message) { line("ERROR", message); }

void StateReporter::debug(const std::string &message) { line("DEBUG", message); }

}  // namespace orvy::backend
