// Byte strings as the simulator passes them between its parts.
#pragma once

#include <cstdint>
#include <vector>

namespace orvy::sim {

using Bytes = std::vector<std::uint8_t>;

}  // namespace orvy::sim
