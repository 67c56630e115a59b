// The depth-to-grey mapping as plain functions over row-major arrays (index y * width + x), and the
// mapping of one frame planned once and run a span of pixels at a time. None of it knows the host:
// the working image hands it its arrays.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "bitmap.h"
#include "deepglass_interface.h"

struct MappingKernels;

// Multiplier of the grey formula: the level of the nearest depth.
constexpr float GREY_SCALE = 65535.0f;

// Selection id that selects every pixel whatever its ID.
constexpr int SELECT_ALL = -1;

struct DepthRange {
    float minDepth;   // smallest magnitude that takes part
    float maxDepth;   // largest magnitude that takes part
    float depthRange; // maxDepth - minDepth, rounded to single precision
};

// Smallest and largest magnitude below DEPTH_LIMIT over count depths. A frame where none takes
// part keeps the starting values: minDepth DEPTH_LIMIT, maxDepth 0.
DepthRange ComputeDepthRange(const float* depth, std::size_t count);

// The grey level of one depth: 65535 at minDepth, 0 at minDepth + depthRange, linear in between,
// evaluated in double precision and saturated to 0..65535. Depths that take no part in the range
// (magnitude at or above DEPTH_LIMIT, or not a number) give 0, as does a zero range.
inline std::uint16_t GreyLevel(float z, float minDepth, float depthRange)
{
    const float magnitude = std::fabs(z);
    if (!(magnitude < DEPTH_LIMIT)) return 0;
    const double product = (1.0 - (static_cast<double>(magnitude) - static_cast<double>(minDepth)) /
                                      static_cast<double>(depthRange)) *
                           static_cast<double>(GREY_SCALE);
    if (!(product > 0.0)) return 0; // negative or not a number
    if (product >= 65535.0) return 65535;
    return static_cast<std::uint16_t>(static_cast<std::int64_t>(product));
}

// Writes the grey picture of `depth` into every pixel (grey in all four components).
void MapAllToGrey(BMM_Color_64* pixels, const float* depth, std::size_t count, DepthRange range);

// Writes the grey picture only into the pixels whose ID equals wanted; the others keep their colour.
void MapSelectedToGrey(BMM_Color_64* pixels, const float* depth, const std::uint8_t* ids, std::size_t count,
                       DepthRange range, std::uint8_t wanted);
void MapSelectedToGrey(BMM_Color_64* pixels, const float* depth, const std::uint16_t* ids, std::size_t count,
                       DepthRange range, std::uint16_t wanted);

// The channels of a frame that the mapping reads: count row-major elements each, borrowed.
struct DepthChannels {
    const float* depth = nullptr;
    const std::uint8_t* materialIds = nullptr;
    const std::uint16_t* objectIds = nullptr;
    // Channel bits asked for. Once CHANNEL_MATERIAL_ID is among them the material array alone gives
    // the IDs, the object array is not consulted; an ID channel asked for but absent reads as 0.
    std::uint32_t loaded = 0;
    std::size_t count = 0;
};

// The grey picture of one frame's depth over the pixels whose ID equals a selection ID, or over
// every pixel for SELECT_ALL. Built once for the frame (its range spans the whole frame, whatever
// is selected); then Map draws it over any span of the frame's pixels, so that a caller can map each
// row just before it copies the row out.
class GreyMapping {
public:
    // Needs channels.depth. Uses the widest pixel loops this processor runs unless told otherwise.
    GreyMapping(const DepthChannels& channels, int selectionId);
    GreyMapping(const DepthChannels& channels, int selectionId, const MappingKernels& kernels);

    // Maps pixels[first, first + count) of the frame; the others are not touched.
    void Map(BMM_Color_64* pixels, std::size_t first, std::size_t count) const;
    // The whole frame at once.
    void MapAll(BMM_Color_64* pixels) const { Map(pixels, 0, channels.count); }

private:
    enum class Kind { NONE, ALL, MATERIAL, OBJECT };

    DepthChannels channels;
    const MappingKernels* kernels;
    Kind kind = Kind::NONE;
    DepthRange range{};
    int wanted;
};
