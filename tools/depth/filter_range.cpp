#include "depth/filter_range.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <emmintrin.h>

namespace deepglass {

MagnitudeEnds MagnitudeEndsOf(std::span<const float> depth)
{
    // Four lanes at a time: magnitudes are never negative zeros and min and max are exact, so the
    // lanes' ends are those of the depths in any order.
    const __m128 sign = _mm_set1_ps(-0.0f), limit = _mm_set1_ps(DEPTH_LIMIT);
    __m128 near = limit, far = _mm_setzero_ps();
    __m128i taking = _mm_setzero_si128(), nan = _mm_setzero_si128();
    std::size_t i = 0;
    const std::size_t size = depth.size();
    for (; i + 4 <= size; i += 4) {
        const __m128 a = _mm_andnot_ps(sign, _mm_loadu_ps(depth.data() + i));
        const __m128 takes = _mm_cmplt_ps(a, limit); // false for NaN
        near = _mm_min_ps(near, _mm_or_ps(_mm_and_ps(takes, a), _mm_andnot_ps(takes, limit)));
        far = _mm_max_ps(far, _mm_and_ps(takes, a));
        taking = _mm_sub_epi32(taking, _mm_castps_si128(takes));
        nan = _mm_sub_epi32(nan, _mm_castps_si128(_mm_cmpunord_ps(a, a)));
    }
    float nears[4], fars[4];
    std::uint32_t takings[4], nans[4];
    _mm_storeu_ps(nears, near);
    _mm_storeu_ps(fars, far);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(takings), taking);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(nans), nan);
    MagnitudeEnds ends;
    for (int k = 0; k < 4; ++k) {
        ends.nearest = std::min(ends.nearest, nears[k]);
        ends.farthest = std::max(ends.farthest, fars[k]);
        ends.takingPart += takings[k];
        ends.notANumber += nans[k];
    }
    for (; i < size; ++i) {
        const float a = std::fabs(depth[i]);
        ends.notANumber += std::isnan(a) ? 1 : 0;
        if (!(a < DEPTH_LIMIT)) continue;
        ++ends.takingPart;
        ends.nearest = std::min(ends.nearest, a);
        ends.farthest = std::max(ends.farthest, a);
    }
    return ends;
}

void FilterRange::Take(std::span<const float> depth)
{
    const MagnitudeEnds ends = MagnitudeEndsOf(depth);
    nearest = std::min(nearest, ends.nearest);
    farthest = std::max(farthest, ends.farthest);
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
