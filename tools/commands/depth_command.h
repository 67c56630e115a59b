// `deepglass depth`: depth pictures read back into EXR frames of depth, each level through the
// picture's depth mapping.
#pragma once

#include <cstdio>

#include "depth/depth_mapping.h"
#include "image/frame_channel.h"
#include "png/png_reader.h"
#include "settings/run_settings.h"

namespace deepglass {

// The Z channel (FLOAT) `picture` stands for under `mapping`: each level through DepthOfLevel;
// level 0 the far end, or nothing rendered (HOST_BACKGROUND_DEPTH) with `levelZeroEmpty` or where
// no depth took part; a pixel of an RGBA picture that holds no grey (kept colour) nothing rendered.
FrameChannel DepthOfPicture(const PngPicture& picture, const DepthMapping& mapping, bool levelZeroEmpty);

// A picture read back: its depths (the Z channel, rows top to bottom), and the mapping they were
// read through.
struct DepthPicture {
    int width = 0;
    int height = 0;
    FrameChannel depth;
    DepthMapping mapping;
};

// The picture at `path` read back as `depth` reads each of its pictures, its samples held to
// `budget` as the account has it; a ToolError naming the file when it cannot be.
DepthPicture ReadDepthPicture(const std::string& path, const DepthOptions& options, std::uint64_t budget);

// Answers the exit status: 1 when a picture could not be read back.
int RunDepth(const DepthOptions& options, std::FILE* out, std::FILE* errors);

} // namespace deepglass
