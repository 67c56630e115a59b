// One frame's input through the filter: each view asked for made into the frame the filter is
// handed, rendered, and written to its own output; and the depths the shot's scale is taken over.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "depth/depth_scale.h"
#include "exr/exr_input.h"
#include "pipeline/apply_run.h"

namespace deepglass {

struct FilteredFrame {
    std::vector<std::string> outputs; // one for each view filtered, in the file's order of views
    std::vector<std::string> warnings;
    std::string hint;     // the background hint of the first view that has one
    std::string channels; // which channels were taken, view by view
    std::optional<DepthScale>
        scale;                // the grey scale the first view was filtered on; none: no depth took part
    std::string ruleNote;     // what the automatic background rule took, where it took pixels
    std::string samplingNote; // which colour channels were subsampled, where a view had some
};

// The outputs FilterFrame writes for a file of `layout`: `output` itself, or with --view all
// one a view of the file.
std::vector<std::string> PlannedOutputs(const ApplyOptions& options, const ExrFile& layout,
                                        const std::string& output);

// Hands `count` the depths of each view the run names as the scale is taken over them, as
// FilterFrame would hand them over (after the background rule and, with --range-over selection,
// the selection); only depth, alpha and the IDs a selection needs are read. A ToolError for
// anything that stops the input.
void CountFrameDepths(const ApplyRun& run, ExrInput& input, FrameBuffers& buffers,
                      const std::function<void(std::span<const float>)>& count);

// Filters the views the run names into `output` (with --view all, OUTPUT.VIEW.png for each view),
// with the worker's filter and memory; each output's depth mapping names `frame` where it is known.
// Into the run's video, the frame goes at `place`. A ToolError for anything that stops the input.
FilteredFrame FilterFrame(const ApplyRun& run, Worker& worker, ExrInput& input, const std::string& output,
                          std::optional<int> frame, std::size_t place);

} // namespace deepglass
