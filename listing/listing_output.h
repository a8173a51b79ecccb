// The listing for people (one block per printer) and for programs (one JSON
// array).
#pragma once

#include <string>
#include <vector>

#include "printer_listing.h"

namespace orvy::list {

std::string listing_text(const std::vector<ListedPrinter> &printers);
std::string listing_json(const std::vector<ListedPrinter> &printers);

}  // namespace orvy::list
