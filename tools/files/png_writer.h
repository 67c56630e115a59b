// Writing a 16-bit RGBA PNG through libpng.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "bitmap.h"

// Row y of the picture, `width` pixels, valid until the next call.
using PngRow = std::function<const BMM_Color_64*(int y)>;

// Writes the picture whose rows `row` gives, top to bottom, to `path`; a ToolError when that
// fails. The rows are asked for one at a time, so no whole picture need be held; `row` must not
// throw.
void WritePng(const std::string& path, int width, int height, const PngRow& row);
