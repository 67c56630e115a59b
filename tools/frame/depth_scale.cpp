#include "frame/depth_scale.h"

#include <algorithm>
#include <cmath>

#include "deepglass_interface.h"

namespace deepglass {

int ScaleRows(int width) { return width >= 2 ? 1 : 2; }

std::optional<DepthScale> ScaleOf(std::span<const float> depth)
{
    std::optional<DepthScale> scale;
    for (float z : depth) {
        const float a = std::fabs(z);
        if (!(a < DEPTH_LIMIT)) continue; // NaN too
        if (!scale) scale = DepthScale{a, a};
        scale->nearest = std::min(scale->nearest, a);
        scale->farthest = std::max(scale->farthest, a);
    }
    return scale;
}

DepthScale Widened(const DepthScale& a, const DepthScale& b)
{
    return {std::min(a.nearest, b.nearest), std::max(a.farthest, b.farthest)};
}

ShotRange ShotRangeOf(const std::vector<std::optional<DepthScale>>& frameScales)
{
    ShotRange range;
    for (const std::optional<DepthScale>& scale : frameScales) {
        if (!scale) continue;
        range.scale = range.scale ? Widened(*range.scale, *scale) : *scale;
        ++range.frames;
    }
    return range;
}

void FixScale(const DepthScale& scale, std::span<float> depth, std::size_t framePixels)
{
    for (std::size_t i = 0; i < framePixels; ++i) {
        float& z = depth[i];
        const float a = std::fabs(z);
        if (!(a < DEPTH_LIMIT)) continue; // takes no part: not a number, or nothing rendered
        z = std::copysign(std::clamp(a, scale.nearest, scale.farthest), z);
    }
    // The ends as rendered surfaces store them: in front of the camera, at negative depth.
    std::fill(depth.begin() + static_cast<std::ptrdiff_t>(framePixels), depth.end(), -scale.farthest);
    if (framePixels < depth.size()) depth[framePixels] = -scale.nearest;
}

template <typename Id>
void KeepSelected(std::span<float> depth, const Id* ids, std::uint32_t id)
{
    for (std::size_t i = 0; i < depth.size(); ++i)
        if (ids == nullptr || ids[i] != id) depth[i] = HOST_BACKGROUND_DEPTH;
}

template void KeepSelected(std::span<float>, const std::uint8_t*, std::uint32_t);
template void KeepSelected(std::span<float>, const std::uint16_t*, std::uint32_t);

} // namespace deepglass
