// A view's frame handed to the filter a strip of rows at a time, with the frame's range planted
// below each strip, so that each strip's greys are those of the frame handed whole. Each thread of
// the frame has a filter of its own (the module keeps nothing from one filter to the next) and a
// strip's storage it keeps from strip to strip, small enough to stay in cache.
#pragma once

#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "memory_storage.h"
#include "module/filter_runner.h"
#include "pipeline/view_load.h"

namespace deepglass {

// Gives each worker a filter for each of `threads` threads of its frames: its own, then twins.
void AddStripLanes(std::vector<Worker>& workers, int threads);

class StripFilters {
public:
    // The frame of `made`, whose depths and range `held` holds, in strips of `stripRows` rows ending
    // where a picture's segments do: every `segmentRows` rows from data row `segmentStart` on.
    // `lanes` (one a thread asking for rows at once) outlive this.
    StripFilters(std::span<StripLane> lanes, const ViewFrame& made, const HeldView& held, int stripRows,
                 int segmentRows, int segmentStart);

    // The colour and IDs of the frame's rows from `first` on, in `band` (which outlives its use),
    // for the strips rendered from now on; none: the filter needs only depth (the whole mode).
    void Band(MemoryStorage* band, int first);
    // Data row `row` as the filter gives it back, rendered with the strip it starts when the
    // calling thread's strip does not hold it; any number of threads may ask at once.
    const BMM_Color_64* Row(int row);

private:
    struct Rendered {
        MemoryStorage* storage = nullptr;
        int first = 0;
        int last = 0;
    };
    std::size_t LaneOfThread();
    void Render(StripLane& lane, Rendered& rendered, int first, int last);

    std::span<StripLane> lanes;
    std::vector<Rendered> rendered;
    std::vector<std::thread::id> owners;
    std::mutex ownersLock;
    std::size_t width;
    int height;
    const HeldView& held;
    int stripRows;
    int segmentRows;
    int segmentStart;
    MemoryStorage* band = nullptr;
    int bandFirst = 0;
};

} // namespace deepglass
