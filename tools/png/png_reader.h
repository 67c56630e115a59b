// Reading a PNG through libpng: one grey channel or RGBA, 8 or 16 bits a sample, with its text
// chunks, for pictures read back into depth.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace deepglass {

struct PngPicture {
    int width = 0;
    int height = 0;
    int bits = 16;                                         // 8 or 16
    int channels = 1;                                      // 1: grey; 4: RGBA
    std::vector<std::uint16_t> samples;                    // `channels` a pixel, rows top to bottom
    std::vector<std::pair<std::string, std::string>> text; // every text chunk: keyword, value

    std::uint16_t At(std::size_t pixel, int channel) const
    {
        return samples[pixel * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel)];
    }
};

// Whether the file begins with the PNG signature; false for a file that cannot be read.
bool IsPngFile(const std::string& path);

// The picture at `path`; a ToolError naming the file when it cannot be read, is no PNG, is of
// another colour type than grey or RGBA, or would take more than `budget` bytes of samples.
PngPicture ReadPng(const std::string& path, std::uint64_t budget);

} // namespace deepglass
