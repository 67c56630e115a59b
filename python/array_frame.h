// A frame made of arrays, written as an EXR file as a renderer would write it, so that it takes the
// route every frame of `apply` takes. Each channel is read where the array holds it, whatever its
// strides: nothing is copied on the way.
#pragma once

#include <ImfPixelType.h>

#include <cstddef>
#include <string>
#include <vector>

namespace deepglass {

struct ArrayChannel {
    std::string name;
    Imf::PixelType type = Imf::FLOAT;
    const char* first = nullptr; // the sample of the top left pixel
    std::size_t xStride = 0;     // bytes from one pixel to the next in a row, and from one row to the next
    std::size_t yStride = 0;
};

// Writes the channels, each `width` x `height`, uncompressed to `path`; a ToolError naming the
// file when it cannot be written.
void WriteArrayFrame(const std::string& path, int width, int height,
                     const std::vector<ArrayChannel>& channels);

} // namespace deepglass
