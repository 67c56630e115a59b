// Samples as the host takes them: 16-bit colour levels, and ID samples at the widths of the
// host's channels (8-bit material effects, 16-bit object).
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

#include "image/frame_channel.h"
#include "image/level.h"

namespace deepglass {

// A colour sample as the host's level: clamped to 0..1 (NaN as 0), scaled to 0..65535 and
// rounded half away from zero. The product of a float and 65535 is exact in a double and so is
// adding one half, so truncating that sum rounds exactly as std::lround would.
inline std::uint16_t ColourLevel(float value)
{
    if (!(value > 0.0f)) return 0; // NaN as well
    if (value >= 1.0f) return LEVEL_FULL;
    return static_cast<std::uint16_t>(static_cast<double>(value) * LEVEL_FULL + 0.5);
}

// An ID sample as FrameChannel holds it (UINT as is, HALF and FLOAT as a float's bits): whether it
// is a whole number from 0 to `limit`, and its value when it is.
inline bool IdFits(std::uint32_t sample, SampleType type, std::uint32_t limit)
{
    if (type == SampleType::UINT) return sample <= limit;
    const float value = std::bit_cast<float>(sample);
    return value >= 0.0f && value <= static_cast<float>(limit) && std::trunc(value) == value;
}
inline std::uint32_t IdOf(std::uint32_t sample, SampleType type)
{
    return type == SampleType::UINT ? sample : static_cast<std::uint32_t>(std::bit_cast<float>(sample));
}
// The ToolError for an ID sample that does not fit: channel `name` holds it at `pixel`.
[[noreturn]] void RefuseId(std::uint32_t sample, SampleType type, std::uint32_t limit,
                           const std::string& name, const std::string& pixel);

} // namespace deepglass
