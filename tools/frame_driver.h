// `deepglass apply`: the filter set up once, then every input frame read, filtered through the
// module and written, each on its own, with progress, warnings and a summary.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "exr_frame.h"
#include "filter_runner.h"

// Applies --config, or --mode and --id, to the filter; a ToolError when the record is refused.
// Answers the warnings the settings call for.
std::vector<std::string> ConfigureFilter(FilterRunner& runner, const ApplyOptions& options);

// The output file of each input, in order.
std::vector<std::string> OutputPaths(const ApplyOptions& options);

// The picture a PNG holds: the display window, the data window's pixels at their offset, the rest
// transparent black; alpha 65535 everywhere when `opaque`. `cropped` tells whether data lay outside.
std::vector<BMM_Color_64> DisplayWindowPicture(const ExrFrame& frame, const std::vector<BMM_Color_64>& colour,
                                               bool opaque, bool& cropped);

// Runs the command; answers the exit status. Messages go to the two streams.
int RunApply(const ApplyOptions& options, std::FILE* out, std::FILE* errors);
