// One input through the filter: its file read, each view asked for made into the host's frame,
// rendered, and written to its own output.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "host/filter_runner.h"
#include "host/frame_stats.h"
#include "host/storage_frame.h"

struct FilteredInput {
    std::vector<std::string> outputs; // one for each view filtered, in the file's order of views
    std::vector<std::string> warnings;
    std::string hint;                // the background hint of the first view that has one
    std::string channels;            // which channels were taken, view by view
    std::optional<DepthStats> stats; // of the first view filtered
};

// The outputs FilterInput would write for `input`: `output` itself, or with --view all one a view
// of the file (read from its header). A ToolError when the header cannot be read.
std::vector<std::string> PlannedOutputs(const ApplyOptions& options, const std::string& input,
                                        const std::string& output);

// Filters the views `options.view` names into `output` (with --view all, OUTPUT.VIEW.png for each
// view). Never writes over one of `inputs`. `buffers` is the calling worker's frame memory, kept
// for its next frame. A ToolError for anything that stops the input.
FilteredInput FilterInput(FilterRunner& runner, const ApplyOptions& options, const std::string& input,
                          const std::string& output, const std::vector<std::string>& inputs,
                          FrameBuffers& buffers);
