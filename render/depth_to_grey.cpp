#include "depth_to_grey.h"

#include <cmath>
#include <limits>

#include "mapping_kernels.h"

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
                 Id wanted)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (ids[i] == wanted) pixels[i] = Grey(GreyLevel(depth[i], range.minDepth, range.depthRange));
    }
}

// Whether the ID type can hold the selection ID; one it cannot hold selects nothing.
template <typename Id>
bool Holds(int selectionId)
{
    return selectionId >= 0 && selectionId <= std::numeric_limits<Id>::max();
}

} // namespace

void MapAllToGrey(BMM_Color_64* pixels, const float* depth, std::size_t count, DepthRange range)
{
    for (std::size_t i = 0; i < count; ++i) {
        pixels[i] = Grey(GreyLevel(depth[i], range.minDepth, range.depthRange));
    }
}

void MapSelectedToGrey(BMM_Color_64* pixels, const float* depth, const std::uint8_t* ids, std::size_t count,
                       DepthRange range, std::uint8_t wanted)
{
    MapSelected(pixels, depth, ids, count, range, wanted);
}

void MapSelectedToGrey(BMM_Color_64* pixels, const float* depth, const std::uint16_t* ids, std::size_t count,
                       DepthRange range, std::uint16_t wanted)
{
    MapSelected(pixels, depth, ids, count, range, wanted);
}

GreyMapping::GreyMapping(const DepthChannels& channels, int selectionId)
    : GreyMapping(channels, selectionId, ChosenMappingKernels())
{
}

GreyMapping::GreyMapping(const DepthChannels& channels, int selectionId, const MappingKernels& kernels)
    : channels(channels), kernels(&kernels), wanted(selectionId)
{
    const bool materialAsked = (channels.loaded & CHANNEL_MATERIAL_ID) != 0;
    const bool objectAsked = (channels.loaded & CHANNEL_OBJECT_ID) != 0;
    if (selectionId == SELECT_ALL) {
        kind = Kind::ALL;
    } else if (materialAsked && channels.materialIds != nullptr) {
        if (Holds<std::uint8_t>(selectionId)) kind = Kind::MATERIAL;
    } else if (!materialAsked && objectAsked && channels.objectIds != nullptr) {
        if (Holds<std::uint16_t>(selectionId)) kind = Kind::OBJECT;
    } else if (selectionId == 0) {
        kind = Kind::ALL; // without an ID array every pixel's ID reads as 0
    }
    // A mapping that selects nothing changes nothing, so it needs no range either.
    if (kind != Kind::NONE) range = kernels.computeRange(channels.depth, channels.count);
}

void GreyMapping::Map(BMM_Color_64* pixels, std::size_t first, std::size_t count) const
{
    switch (kind) {
    case Kind::NONE: break;
    case Kind::ALL: kernels->mapAll(pixels + first, channels.depth + first, count, range); break;
    case Kind::MATERIAL:
        kernels->mapMaterial(pixels + first, channels.depth + first, channels.materialIds + first, count,
                             range, static_cast<std::uint8_t>(wanted));
        break;
    case Kind::OBJECT:
        kernels->mapObject(pixels + first, channels.depth + first, channels.objectIds + first, count, range,
                           static_cast<std::uint16_t>(wanted));
        break;
    }
}
