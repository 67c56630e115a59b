#include "pipeline/shot_scale.h"

#include <new>

#include "base/tool_error.h"
#include "pipeline/frame_filter.h"
#include "shot/worker_pool.h"

namespace deepglass {

ShotRange ShotScale(const ApplyRun& run, const std::vector<ShotFrame>& plan, std::vector<Worker>& workers)
{
    std::vector<std::optional<DepthScale>> scales(plan.size());
    ForEachInParallel(plan.size(), static_cast<int>(workers.size()), [&](std::size_t index, int worker) {
        if (!plan[index].problem.empty()) return;
        try {
            ExrInput input(plan[index].input, run.limits, run.frameThreads);
            scales[index] = FrameScale(run, input, workers[worker].buffers);
        } catch (const ToolError&) {
        } catch (const std::bad_alloc&) {
        }
    });
    return ShotRangeOf(scales);
}

} // namespace deepglass
