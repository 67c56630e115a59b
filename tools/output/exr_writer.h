// Writing EXR files: every part at its own layout (scanline, or tiled at its tile size), every
// channel at its own sample type and sampling, both windows and the other attributes of the
// header each part was read with.
#pragma once

#include <string>
#include <vector>

#include "exr/exr_file.h"

namespace deepglass {

// Writes every part of `file`, in order, adding what the written file does differently from the
// input to `notes`; a ToolError when the file cannot be written or a channel has no samples.
void WriteExrFile(const std::string& path, const ExrFile& file, std::vector<std::string>& notes);
// One frame as a single-part file, its samples taken over rather than copied.
void WriteExr(const std::string& path, ExrFrame frame);

} // namespace deepglass
