// Reading a PNG through libpng: one grey channel or RGBA, 8 or 16 bits a sample, with its text
// chunks, for pictures read back into depth. The picture's size is known before any sample is
// read, so that the reader's caller holds it to its budget first.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/frame_memory.h"

namespace deepglass {

struct PngPicture {
    int width = 0;
    int height = 0;
    int bits = 16;    // 8 or 16
    int channels = 1; // 1: grey; 4: RGBA
    // The samples as stored, `channels` a pixel, rows top to bottom: a byte each, or two in the
    // machine's order; empty when only the text was read.
    std::vector<std::uint8_t> stored;
    // Every text chunk: keyword and value in UTF-8 (tEXt and zTXt are Latin-1 in the file).
    std::vector<std::pair<std::string, std::string>> text;

    std::uint16_t At(std::size_t pixel, int channel) const
    {
        const std::size_t i = pixel * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel);
        if (bits == 8) return stored[i];
        std::uint16_t sample = 0;
        std::memcpy(&sample, stored.data() + 2 * i, 2);
        return sample;
    }
};

// Whether the file begins with the PNG signature; false for a file that cannot be read.
bool IsPngFile(const std::string& path);

// A picture open for reading, its header read.
class PngReader {
public:
    // Opens `path` and reads its header; a ToolError naming the file when it cannot be read, is no
    // PNG, or is of another colour type than grey or RGBA of 8 or 16 bits.
    explicit PngReader(const std::string& path);
    ~PngReader();
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    // The size, bits and channels; no samples or text yet.
    const PngPicture& Header() const { return picture; }
    // The picture as the account of a frame's memory reckons it (READ_BACK, PICTURE_INFO).
    FrameShape Shape() const;

    // The picture with its samples and text; a ToolError naming the file when they cannot be read
    // or its text holds more than PNG_TEXT_BYTES. Once only.
    PngPicture ReadAll();
    // The picture with its text, its rows read one at a time and let go; as ReadAll otherwise.
    PngPicture ReadText();

private:
    struct Libpng;
    PngPicture Finish(bool samples);

    std::string path;
    std::uint64_t fileBytes = 0;
    std::unique_ptr<Libpng> libpng;
    PngPicture picture;
};

} // namespace deepglass
