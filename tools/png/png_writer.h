// Writing a PNG: RGBA, or one grey channel for a picture whose red, green, blue and alpha are
// equal at every pixel; 16 or 8 bits a sample. The tool writes the container itself and deflates
// the filtered rows with libdeflate, segments of rows on a few threads joined into one stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bitmap.h"
#include "image/level.h"

namespace deepglass {

// Row y of the picture, `width` pixels: a pointer into rows that outlive the write, or into
// `buffer`, the calling thread's own, which the function may size and fill. It is called from up
// to `threads` threads at once, for any row in any order, a row possibly more than once, and must
// give the same pixels each time. What it throws, WritePng throws.
using PngRow = std::function<const BMM_Color_64*(int y, std::vector<BMM_Color_64>& buffer)>;

enum class PngKind { GREY, RGBA };

// The PNG row filters a picture may use, the bits of libpng's PNG_FILTER_* (PNG_ALL_FILTERS is
// all five).
constexpr int PNG_ROW_NONE = 0x08;
constexpr int PNG_ROW_SUB = 0x10;
constexpr int PNG_ROW_UP = 0x20;
constexpr int PNG_ROW_AVERAGE = 0x40;
constexpr int PNG_ROW_PAETH = 0x80;

// A text chunk: tEXt where the value (UTF-8) is printable Latin-1 (and linefeeds), else iTXt,
// uncompressed; the keyword "XML:com.adobe.xmp", XMP's, always iTXt. The keyword is 1 to 79
// printable Latin-1 characters (given in UTF-8), no leading, trailing or consecutive spaces.
struct PngText {
    std::string keyword;
    std::string value;
};

// How a picture is stored. The compression is libdeflate's level and the row filters, chosen by
// measurement on depth maps (benchmark/png_settings.cpp).
struct PngFormat {
    PngKind kind = PngKind::RGBA;
    int bits = 16;                         // 8: each level rounded to the nearest of 255
    int level = 6;                         // libdeflate's compression level, 0 (stored) to 12
    int filters = 0;                       // PNG_ROW_* bits, each row taking the one that looks best
                                           // (libpng's heuristic); 0: all five
    bool srgb = false;                     // the colour is sRGB display-referred: an sRGB chunk says so
    std::vector<unsigned char> iccProfile; // else, not empty: the display the colour is for, in an iCCP chunk
    std::vector<PngText> text;             // text chunks, before the picture's data
};

// The compressions offered: each row filtered against the row above it ("up", which suits depth
// maps best: the smallest and among the fastest), at libdeflate's level 2, 7 or 10.
enum class PngCompression { FAST, DEFAULT, SMALL };
PngFormat WithCompression(PngFormat format, PngCompression compression);

// A 16-bit level as the nearest 8-bit level: level × 255 / 65535, rounded (no level lies halfway).
inline std::uint8_t EightBitLevel(std::uint16_t level)
{
    return static_cast<std::uint8_t>((std::uint32_t{level} * 255 + LEVEL_FULL / 2) / LEVEL_FULL);
}

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
