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

// Answers the exit status: 1 when a picture could not be read back.
int RunDepth(const DepthOptions& options, std::FILE* out, std::FILE* errors);

} // namespace deepglass
