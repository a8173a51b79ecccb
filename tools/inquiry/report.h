// The report of one fetched record: the hex line, and with verbose the field
// lines of its layout.
#pragma once

#include <cstdio>
#include <span>

#include "field_values.h"
#include "record_layouts.h"

namespace orvy::inquiry {

// "<name padded to 50> = <mask>[<every byte in hex>]"; flushes `out`.
void print_hex_line(std::FILE *out, const char *name, unsigned mask,
                    std::span<const unsigned char> record);

// One field line; a field that does not lie inside `record` prints nothing.
void print_field_line(std::FILE *out, const FieldLayout &field,
                      std::span<const unsigned char> record);

// The hex line, then with `verbose` the field lines of the layout for `mask`.
// Field lines are not flushed: they leave with the next flush of `out`.
void report_block(std::FILE *out, unsigned mask, const char *name,
                  std::span<const unsigned char> record, bool verbose);

}  // namespace orvy::inquiry
