// The size of an EXR frame from its header alone, without reading a pixel: what a caller needs to
// plan memory before frames are read.
#pragma once

#include <cstdint>
#include <string>

#include "exr/exr_layout.h"

namespace deepglass {

struct ExrSizeFacts {
    std::uint64_t dataPixels = 0;
    std::uint64_t channels = 0;    // of the first part
    std::uint64_t sampleBytes = 0; // the samples of its flat parts, as the reader holds them
};

// A ToolError naming the file when its header cannot be read, or when the file claims more than
// `limits` allow. The file is opened as every read opens it, its claims checked before OpenEXR
// sizes anything by them.
ExrSizeFacts ProbeExrSize(const std::string& path, const ExrReadLimits& limits);

} // namespace deepglass
