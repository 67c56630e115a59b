// `deepglass info`: what a frame holds and how the filter would see its depth.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "depth/depth_mapping.h"
#include "exr/exr_reader.h"
#include "facts/frame_facts.h"
#include "png/png_reader.h"
#include "settings/run_settings.h"

namespace deepglass {

struct ViewFacts {
    ViewFrame made;
    FrameFacts facts;
};

// What info tells of one EXR file, for a face that shows it its own way: the file as read, each
// view the options name described, and the depth mapping of each part that holds one (an output
// of apply), by part name.
struct FileFacts {
    ExrReadResult read;
    std::vector<ViewFacts> views;
    std::vector<std::pair<std::string, DepthMapping>> mappings;
};

// A picture's header and text, its rows read one at a time, once that is known to fit in `budget`;
// a ToolError naming the file when it cannot be read or does not fit.
PngPicture ReadPictureText(const std::string& path, std::uint64_t budget);

// The facts of the file at `path`; a ToolError when it or one of its views cannot be described.
FileFacts FactsOfFile(const std::string& path, const InfoOptions& options);

// Answers the exit status: 1 when a frame could not be read.
int RunInfo(const InfoOptions& options, std::FILE* out, std::FILE* errors);

} // namespace deepglass
