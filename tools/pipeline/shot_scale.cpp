#include "pipeline/shot_scale.h"

#include <new>

#include "base/tool_error.h"
#include "depth/depth_percentiles.h"
#include "pipeline/frame_filter.h"
#include "shot/worker_pool.h"

namespace deepglass {

namespace {

// One sweep over the frames that can be read: `count` is handed each view's depths, with the
// worker it is counted on.
template <typename Count>
void Sweep(const ApplyRun& run, const std::vector<ShotFrame>& plan, std::vector<Worker>& workers,
           const Count& count)
{
    ForEachInParallel(plan.size(), static_cast<int>(workers.size()), [&](std::size_t index, int worker) {
        if (!plan[index].problem.empty()) return;
        try {
            ExrInput input(plan[index].input, run.limits, run.frameThreads);
            CountFrameDepths(run, input, workers[worker].buffers,
                             [&](std::span<const float> depth) { count(index, worker, depth); });
        } catch (const ToolError&) {
        } catch (const std::bad_alloc&) {
        }
    });
}

} // namespace

ShotRange ShotScale(const ApplyRun& run, const std::vector<ShotFrame>& plan, std::vector<Worker>& workers)
{
    std::vector<std::optional<DepthScale>> scales(plan.size());
    const std::optional<DepthClip>& clip = run.options.range.clip;
    std::optional<PercentileSweeps> sweeps;
    if (clip) sweeps.emplace(*clip, workers.size());
    Sweep(run, plan, workers, [&](std::size_t index, int worker, std::span<const float> depth) {
        const std::optional<DepthScale> scale = ScaleOf(depth);
        if (scale) scales[index] = scales[index] ? Widened(*scales[index], *scale) : *scale;
        if (sweeps) sweeps->Count(depth, static_cast<std::size_t>(worker));
    });
    ShotRange range = ShotRangeOf(scales);
    if (!sweeps) return range;
    while (sweeps->EndSweep())
        Sweep(run, plan, workers, [&](std::size_t, int worker, std::span<const float> depth) {
            sweeps->Count(depth, static_cast<std::size_t>(worker));
        });
    range.clipped = sweeps->Ends();
    return range;
}

} // namespace deepglass
