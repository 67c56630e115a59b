#include "depth/filter_range.h"

#include <algorithm>
#include <cmath>

namespace deepglass {

void FilterRange::Take(std::span<const float> depth)
{
    float near = nearest, far = farthest;
    bool nan = false;
    for (float z : depth) {
        const float a = std::fabs(z);
        nan |= std::isnan(a);
        if (!(a < DEPTH_LIMIT)) continue;
        near = std::min(near, a);
        far = std::max(far, a);
    }
    nearest = near;
    farthest = far;
    notANumber = notANumber || nan;
}

int RangeRows(int width) { return width >= 2 ? 1 : 2; }

void PlantRange(const FilterRange& range, std::span<float> rows)
{
    std::fill(rows.begin(), rows.end(), HOST_BACKGROUND_DEPTH);
    if (range.nearest >= DEPTH_LIMIT) return;
    rows[0] = -range.nearest;
    rows[1] = -range.farthest;
}

} // namespace deepglass
