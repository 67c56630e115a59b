#include "depth/filter_range.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace deepglass {

void FilterRange::Take(std::span<const float> depth)
{
    float near = nearest, far = farthest;
    for (float z : depth) {
        const float a = std::fabs(z);
        if (a >= DEPTH_LIMIT) continue; // a NaN fails this test too, and so takes part
        if (near > a) near = a;
        if (!(far >= a)) far = a;
    }
    nearest = near;
    farthest = far;
}

int RangeRows(int width) { return (3 + std::max(width, 1) - 1) / std::max(width, 1); }

void PlantRange(const FilterRange& range, std::span<float> rows)
{
    constexpr float NOT_A_NUMBER = std::numeric_limits<float>::quiet_NaN();
    std::fill(rows.begin(), rows.end(), HOST_BACKGROUND_DEPTH);
    const bool nearTakes = range.nearest < DEPTH_LIMIT;
    auto at = rows.begin();
    if (std::isnan(range.farthest)) {
        if (nearTakes) *at++ = -range.nearest;
        *at = NOT_A_NUMBER;
    } else if (nearTakes) {
        at[0] = NOT_A_NUMBER;
        at[1] = -range.nearest;
        at[2] = -range.farthest;
    }
}

} // namespace deepglass
