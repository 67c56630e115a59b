// The one grey scale of a shot (--range shot): every frame's depths read in parallel by the run's
// workers, their nearest and farthest widened over the shot; with --clip, the depths counted again
// in a second sweep of the frames, which pins the clip's two percentiles over the shot exactly.
#pragma once

#include <vector>

#include "depth/depth_scale.h"
#include "pipeline/apply_run.h"
#include "shot/shot_plan.h"

namespace deepglass {

// The shot's range over the frames of `plan` that can be read. A frame that cannot be read is
// left out here and reported by its own filtering.
ShotRange ShotScale(const ApplyRun& run, const std::vector<ShotFrame>& plan, std::vector<Worker>& workers);

} // namespace deepglass
