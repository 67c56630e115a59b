#include "depth/depth_scale.h"

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

bool CurveTakes(DepthCurve curve, const DepthScale& scale)
{
    return curve == DepthCurve::LINEAR || scale.nearest > 0.0f;
}

void FixScale(const std::optional<DepthScale>& scale, DepthCurve curve, std::span<float> depth,
              std::size_t framePixels)
{
    const auto rows = depth.begin() + static_cast<std::ptrdiff_t>(framePixels);
    if (!scale) {
        std::fill(rows, depth.end(), HOST_BACKGROUND_DEPTH);
        return;
    }
    const double nearest = scale->nearest;
    const double farthest = scale->farthest;
    // A scale of one depth maps every depth to the same grey on either curve.
    const bool inverse = curve == DepthCurve::INVERSE && nearest < farthest;
    for (std::size_t i = 0; i < framePixels; ++i) {
        float& z = depth[i];
        if (!(std::fabs(z) < DEPTH_LIMIT)) continue; // takes no part: not a number, or nothing rendered
        const float a = std::clamp(std::fabs(z), scale->nearest, scale->farthest);
        const float handed = inverse ? static_cast<float>(std::clamp(
                                           (a - nearest) * farthest / (a * (farthest - nearest)), 0.0, 1.0))
                                     : a;
        z = std::copysign(handed, z);
    }
    // The ends as rendered surfaces store them: in front of the camera, at negative depth.
    std::fill(rows, depth.end(), inverse ? -1.0f : -scale->farthest);
    if (framePixels < depth.size()) depth[framePixels] = inverse ? -0.0f : -scale->nearest;
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
