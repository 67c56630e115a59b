// A frame in the host's own types, as the filter gets it: 16-bit colour, float depth and the ID
// channels at their host widths (8-bit material effects, 16-bit object). Made from an EXR frame.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bitmap.h"
#include "files/exr_frame.h"
#include "host/background.h"
#include "host/channel_discovery.h"

struct HostFrame {
    int width = 0;
    int height = 0;
    std::vector<BMM_Color_64> colour;
    std::vector<float> depth;
    std::optional<std::vector<std::uint8_t>> materialIds;
    std::optional<std::vector<std::uint16_t>> objectIds;
};

constexpr std::uint16_t COLOUR_FULL = 65535;

// A colour sample as the host's level: clamped to 0..1 (NaN as 0), scaled to 0..65535 and
// rounded half away from zero. The product of a float and 65535 is exact in a double and so is
// adding one half, so truncating that sum rounds exactly as std::lround would.
inline std::uint16_t ColourLevel(float value)
{
    if (!(value > 0.0f)) return 0; // NaN as well
    if (value >= 1.0f) return COLOUR_FULL;
    return static_cast<std::uint16_t>(static_cast<double>(value) * COLOUR_FULL + 0.5);
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

// The channels `names` (R, G, B, A; an empty name is missing) clamped to 0..1 (missing ones read as
// 0, NaN as 0; a missing A reads as opaque), each scaled to 0..65535 and rounded.
std::vector<BMM_Color_64> HostColourOf(const ExrFrame& frame,
                                       const std::array<std::string, 4>& names = {"R", "G", "B", "A"});
// The depth channel as floats; a ToolError naming the channels the frame has when there is none.
std::vector<float> HostDepthOf(const ExrFrame& frame, const std::string& name);
// The ID channels, or nothing when the frame lacks them. A sample that is not a whole number or
// does not fit the host's channel is a ToolError naming the pixel.
std::optional<std::vector<std::uint8_t>> HostMaterialIdsOf(const ExrFrame& frame, const std::string& name);
std::optional<std::vector<std::uint16_t>> HostObjectIdsOf(const ExrFrame& frame, const std::string& name);

// The frame as the host holds it, made of the chosen channels, with only the ID channels
// `channels` (the filter's channel bits) asks for and the background rule applied to its depth.
// A missing ID channel is left out: the filter then leaves the frame unchanged.
HostFrame HostFrameOf(const ExrFrame& frame, const ChannelChoice& choice, const BackgroundRule& background,
                      std::uint32_t channels);

// "A (HALF), B (HALF), ..." for messages.
std::string ChannelListText(const ExrFrame& frame);
