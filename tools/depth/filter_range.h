// The depth range the filter takes a frame by, worked out as the filter works it out, so that a
// frame can be handed over a strip of rows at a time with its range planted in rows below each
// strip: each strip's greys are then the whole frame's.
//
// The filter's range is the smallest and the largest magnitude below the depth limit (none
// taking part: the limit and 0). A NaN depth takes part too, and where it ends up depends on how
// the filter goes through the frame: in order, a NaN becomes the farthest end until the next
// magnitude replaces it, but the filter's vector loops leave NaN out and keep that order only in
// the frame's last few pixels. No strip can reproduce that, so a frame with a NaN taking part is
// handed over whole.
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
    bool notANumber = false; // a NaN depth took part: the range is the filter's own to find

    // Goes on through `depth`, the next pixels of the frame.
    void Take(std::span<const float> depth);
};

// The rows below a strip `width` pixels wide that hold a range planted by PlantRange.
int RangeRows(int width);

// Fills `rows` (RangeRows(width) rows) so that the filter, having gone through any strip of rows
// of the frame `range` was taken over (without a NaN), ends on exactly `range`: its two ends as
// rendered surfaces store them, in front of the camera; where nothing in the frame took part,
// nothing rendered throughout.
void PlantRange(const FilterRange& range, std::span<float> rows);

} // namespace deepglass
