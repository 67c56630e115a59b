// Writing a PNG: RGBA, or one grey channel for a picture whose red, green, blue and alpha are
// equal at every pixel; 16 or 8 bits a sample. The tool writes the container itself and deflates
// the filtered rows with libdeflate, segments of rows on a few threads joined into one stream.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "bitmap.h"
#include "png/png_format.h"

namespace deepglass {

// Row y of the picture, `width` pixels: a pointer into rows that outlive the write, or into
// `buffer`, the calling thread's own, which the function may size and fill. It is called from up
// to `threads` threads at once, for any row in any order, a row possibly more than once, and must
// give the same pixels each time. What it throws, WritePng throws.
using PngRow = std::function<const BMM_Color_64*(int y, std::vector<BMM_Color_64>& buffer)>;

// The rows a segment of a picture `width` pixels wide holds: the rows deflated apart, on one thread
// each, and joined. A fixed share of the filtered bytes, never depending on the threads.
int PngSegmentRows(int width, const PngFormat& format);

// Writes the picture whose rows `row` gives to `path`; a ToolError when that fails (or when a text
// keyword is not one). Segments of rows are filtered and deflated on up to `threads` threads, each
// holding one segment's rows at a time, and the file is the same byte for byte whatever `threads`.
// A grey picture takes each pixel's red.
void WritePng(const std::string& path, int width, int height, const PngRow& row, const PngFormat& format = {},
              int threads = 1);

} // namespace deepglass
