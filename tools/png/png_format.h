// How a PNG picture is stored: its kind, bits, row filters, compression level, colour chunks and
// text chunks, as the writer and the chunks it writes take them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/level.h"

namespace deepglass {

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

} // namespace deepglass
