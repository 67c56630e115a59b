#include "reference_mapping.h"

#include <cmath>

namespace {

bool TakesPart(float z) { return std::fabs(z) < 1e20f; }

} // namespace

std::uint16_t ReferenceGrey(float z, float minDepth, float maxDepth)
{
    if (!TakesPart(z)) return 0;
    const float range = maxDepth - minDepth; // single precision, as the range is stored
    const double product = (1.0 - (double{std::fabs(z)} - double{minDepth}) / double{range}) * 65535.0;
    if (std::isnan(product) || product <= 0.0) return 0;
    if (product >= 65535.0) return 65535;
    return static_cast<std::uint16_t>(std::trunc(product));
}

std::vector<BMM_Color_64> ReferenceMap(const ReferenceFrame& frame, int selectionId)
{
    float minDepth = 1e20f;
    float maxDepth = 0.0f;
    for (float z : frame.depth) {
        if (!TakesPart(z)) continue;
        minDepth = std::fmin(minDepth, std::fabs(z));
        maxDepth = std::fmax(maxDepth, std::fabs(z));
    }
    std::vector<BMM_Color_64> out = frame.pixels;
    for (std::size_t i = 0; i < out.size(); ++i) {
        int id = 0;
        if (frame.materialIds) {
            id = (*frame.materialIds)[i];
        } else if (frame.objectIds) {
            id = (*frame.objectIds)[i];
        }
        if (selectionId != -1 && id != selectionId) continue;
        const std::uint16_t g = ReferenceGrey(frame.depth[i], minDepth, maxDepth);
        out[i] = {g, g, g, g};
    }
    return out;
}
