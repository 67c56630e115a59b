// Writing a 16-bit RGBA PNG through libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bitmap.h"

// Writes `pixels` (width x height, row-major) to `path`; a ToolError when that fails.
void WritePng(const std::string& path, int width, int height, const std::vector<BMM_Color_64>& pixels);
