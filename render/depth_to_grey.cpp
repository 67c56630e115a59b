#include "depth_to_grey.h"

#include <cmath>
#include <limits>

DepthRange ComputeDepthRange(const float* depth, std::size_t count)
{
    float minDepth = DEPTH_LIMIT;
    float maxDepth = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
        const float magnitude = std::fabs(depth[i]);
        if (!(magnitude < DEPTH_LIMIT)) continue; // too far, or not a number
        if (minDepth > magnitude) minDepth = magnitude;
        if (!(maxDepth >= magnitude)) maxDepth = magnitude;
    }
    const float depthRange = maxDepth - minDepth;
    return {minDepth, maxDepth, depthRange};
}

namespace {

BMM_Color_64 Grey(std::uint16_t level) { return {level, level, level, level}; }

template <typename Id>
void MapSelected(BMM_Color_64* pixels, const float* depth, const Id* ids, std::size_t count, DepthRange range,
                 int selectionId)
{
    if (selectionId < 0 || selectionId > std::numeric_limits<Id>::max()) return;
    const Id wanted = static_cast<Id>(selectionId);
    for (std::size_t i = 0; i < count; ++i) {
        if (ids[i] == wanted) pixels[i] = Grey(GreyLevel(depth[i], range.minDepth, range.depthRange));
    }
}

} // namespace

void MapAllToGrey(BMM_Color_64* pixels, const float* depth, std::size_t count, DepthRange range)
{
    for (std::size_t i = 0; i < count; ++i) {
        pixels[i] = Grey(GreyLevel(depth[i], range.minDepth, range.depthRange));
    }
}

void MapSelectedToGrey(BMM_Color_64* pixels, const float* depth, const std::uint8_t* ids, std::size_t count,
                       DepthRange range, int selectionId)
{
    MapSelected(pixels, depth, ids, count, range, selectionId);
}

void MapSelectedToGrey(BMM_Color_64* pixels, const float* depth, const std::uint16_t* ids, std::size_t count,
                       DepthRange range, int selectionId)
{
    MapSelected(pixels, depth, ids, count, range, selectionId);
}
