// The depth range the filter takes a frame by, worked out as the filter works it out, so that a
// frame can be handed over a strip of rows at a time with its range planted in rows below each
// strip: each strip's greys are then the whole frame's.
//
// The filter goes through its frame in row order, keeping the smallest magnitude below the depth
// limit and a running maximum whose test ("unless max >= a") a NaN fails: a NaN takes part and
// becomes the maximum, and the next magnitude taking part replaces it. So its farthest end is the
// largest magnitude after the frame's last NaN, or NaN when a NaN is the last to take part; a
// strip alone would end elsewhere, which the planted rows put right.
#pragma once

#include <span>

#include "deepglass_interface.h"

namespace deepglass {

struct FilterRange {
    float nearest = DEPTH_LIMIT; // as the filter starts: nothing has taken part
    float farthest = 0.0f;

    // Goes on through `depth`, the next pixels of the frame in the filter's order.
    void Take(std::span<const float> depth);
};

// The rows below a strip `width` pixels wide that hold a range planted by PlantRange.
int RangeRows(int width);

// Fills `rows` (RangeRows(width) rows) so that the filter, having gone through any strip of rows
// of the frame `range` was taken over, ends on exactly `range`: a NaN first, which resets a
// maximum the strip left behind a NaN of its own, then the two ends as rendered surfaces store
// them; or the nearest end and a NaN last where the frame ends on a NaN. Nothing taking part is
// planted where nothing in the frame took part; the rest hold nothing rendered.
void PlantRange(const FilterRange& range, std::span<float> rows);

} // namespace deepglass
