// The size of an EXR frame from its header alone, without reading a pixel: what a caller needs to
// plan memory before frames are read.
#pragma once

#include <cstdint>
#include <string>

struct ExrSizeFacts {
    std::uint64_t dataPixels = 0;
    std::uint64_t channels = 0; // of the first part
};

// A ToolError naming the file when its header cannot be read.
ExrSizeFacts ProbeExrSize(const std::string& path);
