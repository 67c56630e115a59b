// Work split over threads: the items of a frame (its chunks, its picture's segments) handed out one
// at a time to a few threads, the caller's among them.
#pragma once

#include <cstddef>
#include <functional>

namespace deepglass {

// Runs `body(i)` for every i in [0, count) on up to `threads` threads, the calling thread one of
// them; returns when all are done. Which thread takes which item varies, so `body` must give the
// same result whatever the order. The first exception a body throws is thrown again here, after
// the others have stopped taking items.
void ParallelFor(std::size_t count, int threads, const std::function<void(std::size_t)>& body);

} // namespace deepglass
