// The host's colour levels: 16 bits a component, 0 for none and LEVEL_FULL for full.
#pragma once

#include <cstdint>

namespace deepglass {

constexpr std::uint16_t LEVEL_FULL = 65535;

} // namespace deepglass
