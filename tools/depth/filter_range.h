// The depth range the filter takes a frame by, worked out as the filter works it out, so that a
// frame can be handed over a strip of rows at a time with its range planted in rows below each
// strip: each strip's greys are then the whole frame's.
//
// The filter's range is the smallest and the largest magnitude below the depth limit (none
// taking part: the limit and 0). A NaN depth takes no part, in the filter's vector loops and its
// plain ones alike, so the range does not depend on the order the filter goes through the frame
// in, and any strip with the range planted below it ends on it.
#pragma once

#include <cstddef>
#include <span>

#include "deepglass_interface.h"

namespace deepglass {

// The magnitudes of some depths as the filter's range sees them: the smallest and the largest of
// those below the depth limit (the limit and 0 where none is), how many are, and how many are NaN.
struct MagnitudeEnds {
    float nearest = DEPTH_LIMIT;
    float farthest = 0.0f;
    std::size_t takingPart = 0;
    std::size_t notANumber = 0;
};
MagnitudeEnds MagnitudeEndsOf(std::span<const float> depth);

struct FilterRange {
    float nearest = DEPTH_LIMIT; // as the filter starts: nothing has taken part
    float farthest = 0.0f;

    // Goes on through `depth`, the next pixels of the frame.
    void Take(std::span<const float> depth);
};

// The rows below a strip `width` pixels wide that hold a range planted by PlantRange.
int RangeRows(int width);

// Fills `rows` (RangeRows(width) rows) so that the filter, having gone through any strip of rows
// of the frame `range` was taken over, ends on exactly `range`: its two ends as
// rendered surfaces store them, in front of the camera; where nothing in the frame took part,
// nothing rendered throughout.
void PlantRange(const FilterRange& range, std::span<float> rows);

} // namespace deepglass
