// One input through the filter: its file read, each view asked for made into the frame the
// filter is handed, rendered, and written to its own output.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commands/view_loading.h"
#include "files/atomic_output.h"
#include "files/png_writer.h"
#include "frame/frame_stats.h"
#include "frame/storage_frame.h"
#include "module/filter_record.h"
#include "module/filter_runner.h"

struct FilteredInput {
    std::vector<std::string> outputs; // one for each view filtered, in the file's order of views
    std::vector<std::string> warnings;
    std::string hint;                // the background hint of the first view that has one
    std::string channels;            // which channels were taken, view by view
    std::optional<DepthStats> stats; // of the first view filtered
    std::optional<DepthScale> scale; // the grey scale of the first view filtered; none: no depth took part
    std::string ruleNote;            // what the automatic background rule took, where it took pixels
};

// The outputs FilterInput would write for `input`: `output` itself, or with --view all one a view
// of the file (read from its header). A ToolError when the header cannot be read.
std::vector<std::string> PlannedOutputs(const ApplyOptions& options, const FrameBuffers& buffers,
                                        const std::string& input, const std::string& output);

// The grey scale `input` takes by itself (--range frame) over the views `options.view` names, as
// FilterInput would hand them over; only depth, alpha and the IDs a selection needs are read. None
// when no depth takes part; a ToolError for anything that stops the input.
std::optional<DepthScale> InputScale(const ApplyRun& run, const std::string& input, FrameBuffers& buffers);

// Filters the views `options.view` names into `output` (with --view all, OUTPUT.VIEW.png for each
// view). `buffers` is the calling worker's frame memory, kept for its next frame. A ToolError for
// anything that stops the input.
FilteredInput FilterInput(FilterRunner& runner, const ApplyRun& run, const std::string& input,
                          const std::string& output, FrameBuffers& buffers);
