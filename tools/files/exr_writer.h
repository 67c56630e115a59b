// Writing an EXR frame: every channel at its own sample type, both windows and, for a frame read
// from a file, the other attributes of its header. Always a scanline file.
#pragma once

#include <string>

#include "files/exr_frame.h"

// A ToolError when the file cannot be written.
void WriteExr(const std::string& path, const ExrFrame& frame);
