// What an EXR file held whole takes, by the account of a frame's memory (base/frame_memory.h).
#pragma once

#include <cstddef>

#include "base/frame_memory.h"
#include "exr/exr_file.h"

namespace deepglass {

// Adds to `shape` what the file of `layout` takes read whole, `views` views of it written: every
// part's samples held (a deep part's made flat, and its sample counts), those stored as HALF, and
// OpenEXR's buffers for every part read.
void AddWholeFile(FrameShape& shape, const ExrFile& layout, std::size_t views);

} // namespace deepglass
