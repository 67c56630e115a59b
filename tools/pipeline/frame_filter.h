// One frame's input through the filter: each view asked for made into the frame the filter is
// handed, rendered, and written to its own output; and the grey scale the frame takes by itself.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "exr/exr_input.h"
#include "frame/depth_scale.h"
#include "pipeline/apply_run.h"

namespace deepglass {

struct FilteredFrame {
    std::vector<std::string> outputs; // one for each view filtered, in the file's order of views
    std::vector<std::string> warnings;
    std::string hint;                // the background hint of the first view that has one
    std::string channels;            // which channels were taken, view by view
    std::optional<DepthScale> scale; // the grey scale of the first view filtered; none: no depth took part
    std::string ruleNote;            // what the automatic background rule took, where it took pixels
    std::string samplingNote;        // which colour channels were subsampled, where a view had some
};

// The outputs FilterFrame writes for a file of `layout`: `output` itself, or with --view all
// one a view of the file.
std::vector<std::string> PlannedOutputs(const ApplyOptions& options, const ExrFile& layout,
                                        const std::string& output);

// The grey scale the input takes by itself (--range frame) over the views the run names, as
// FilterFrame would hand them over; only depth, alpha and the IDs a selection needs are read. None
// when no depth takes part; a ToolError for anything that stops the input.
std::optional<DepthScale> FrameScale(const ApplyRun& run, ExrInput& input, FrameBuffers& buffers);

// Filters the views the run names into `output` (with --view all, OUTPUT.VIEW.png for each view),
// with the worker's filter and memory; each output's depth mapping names `frame` where it is known.
// A ToolError for anything that stops the input.
FilteredFrame FilterFrame(const ApplyRun& run, Worker& worker, ExrInput& input, const std::string& output,
                          std::optional<int> frame);

} // namespace deepglass
