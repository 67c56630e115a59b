// Frames in parallel: a fixed number of workers take the next index from a shared counter until
// none is left, so a slow frame holds up only its own worker.
#pragma once

#include <cstddef>
#include <functional>

namespace deepglass {

// Runs `work(index, worker)` once for every index below `count`, on `workers` threads (the calling
// thread is worker 0). `work` should handle its own failures: the first exception that escapes it
// stops the handing out of further indices and is thrown again once every worker has stopped.
void ForEachInParallel(std::size_t count, int workers,
                       const std::function<void(std::size_t index, int worker)>& work);

} // namespace deepglass
