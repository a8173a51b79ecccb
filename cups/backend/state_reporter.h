// Tells cupsd about the printer: printer-state-reasons with "STATE: +reason"
// and "STATE: -reason" lines, printer-state-message with "INFO:", on
// standard error (backend(7)). Only changes are written.
#pragma once

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "printer_conditions.h"

namespace orvy::backend {

inline constexpr const char *kConnecting = "connecting-to-device";

class StateReporter {
public:
    explicit StateReporter(std::FILE *out = stderr);

    // The reasons of the printer's records, and the message for when there
    // are none ("Printing"). The first call also takes back every reason
    // that an earlier job left and that no longer holds.
    void show(const std::vector<Condition> &conditions, const std::string &idle_message);
    // Waiting for the printer to be attached (or to come free).
    void connecting(const std::string &message);

    void info(const std::string &message);
    void error(const std::string &message);
    void debug(const std::string &message);

private:
    void set_reasons(const std::set<std::string> &wanted);
    void line(const char *prefix, const std::string &text);

    std::FILE *out_;
    std::set<std::string> shown_;
    std::string message_;
    bool first_ = true;
};

}  // namespace orvy::backend
