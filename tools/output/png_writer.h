// Writing a PNG through libpng: RGBA, or one grey channel for a picture whose red, green, blue and
// alpha are equal at every pixel; 16 or 8 bits a sample.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bitmap.h"
#include "image/level.h"

namespace deepglass {

// Row y of the picture, `width` pixels, valid until the next call.
using PngRow = std::function<const BMM_Color_64*(int y)>;

enum class PngKind { GREY, RGBA };

// A text chunk: tEXt where the value is Latin-1 (here: ASCII), iTXt (UTF-8) for any other value and
// for the keyword "XML:com.adobe.xmp".
struct PngText {
    std::string keyword;
    std::string value;
};

// How a picture is stored. The compression is zlib's level and libpng's row filters, chosen by
// measurement on depth maps (benchmark/png_settings.cpp).
struct PngFormat {
    PngKind kind = PngKind::RGBA;
    int bits = 16;                         // 8: each level rounded to the nearest of 255
    int level = 6;                         // zlib's compression level
    int filters = 0;                       // libpng's PNG_FILTER_* bits; 0: libpng's own choice
    bool srgb = false;                     // the colour is sRGB display-referred: an sRGB chunk says so
    std::vector<unsigned char> iccProfile; // else, not empty: the display the colour is for, in an iCCP chunk
    std::vector<PngText> text;             // written before the samples
};

// The compressions offered: each row filtered against the row above it ("up", which suits depth
// maps best: the smallest and among the fastest), at zlib's level 1, 6 or 9.
enum class PngCompression { FAST, DEFAULT, SMALL };
PngFormat WithCompression(PngFormat format, PngCompression compression);

// A 16-bit level as the nearest 8-bit level: level × 255 / 65535, rounded (no level lies halfway).
inline std::uint8_t EightBitLevel(std::uint16_t level)
{
    return static_cast<std::uint8_t>((std::uint32_t{level} * 255 + LEVEL_FULL / 2) / LEVEL_FULL);
}

// Writes the picture whose rows `row` gives, top to bottom, to `path`; a ToolError when that
// fails. The rows are asked for one at a time, so no whole picture need be held; `row` must not
// throw. A grey picture takes each pixel's red.
void WritePng(const std::string& path, int width, int height, const PngRow& row,
              const PngFormat& format = {});

} // namespace deepglass
