// A printer round in the Prometheus text exposition format.
#pragma once

#include <string>

#include "printer_round.h"

namespace orvy::metrics {

// Every family with HELP and TYPE and a `port` label on every sample.
// orvy_printer_up, orvy_printer_open_error and orvy_printer_inquiry_success
// are always there; the others only when their record arrived.
std::string exposition_text(const PrinterRound &round);

// `value` escaped for a label value: backslash, double quote and line feed,
// and bytes that are not printable ASCII as the text \xNN.
std::string label_value(const std::string &value);

}  // namespace orvy::metrics
