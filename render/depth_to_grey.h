// The depth-to-grey mapping as plain functions over row-major arrays (index y * width + x).
// They know nothing of the host: the working image hands them its arrays.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "bitmap.h"
#include "deepglass_interface.h"
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

// Writes the grey picture only into the pixels whose ID equals selectionId; the others keep their
// colour. An ID the element type cannot hold selects nothing.
void MapSelectedToGrey(BMM_Color_64* pixels, const float* depth, const std::uint8_t* ids, std::size_t count,
                       DepthRange range, int selectionId);
void MapSelectedToGrey(BMM_Color_64* pixels, const float* depth, const std::uint16_t* ids, std::size_t count,
                       DepthRange range, int selectionId);
