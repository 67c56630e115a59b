// Reading an EXR frame, scanline or tiled, from a file or from memory. Every failure is a ToolError
// whose message names the file and what is wrong with it.
#pragma once

#include <cstddef>
#include <string>

#include "files/exr_frame.h"

// The host's frames are at most this wide and high (its bitmap sizes are 16-bit).
constexpr int FRAME_MAX_SIDE = 65535;

struct ExrReadResult {
    ExrFrame frame;
    std::string note; // something the reader skipped that the user may want to know
};

struct ExrReadLimits {
    // Frames with more pixels than this are refused before any sample memory is allocated
    // (0: only the side limit applies). Useful where memory is bounded, as under a fuzzer.
    std::size_t maxPixels = 0;
};

ExrReadResult ReadExrFile(const std::string& path, const ExrReadLimits& limits = {});
// `name` stands for the buffer in messages.
ExrReadResult ReadExrMemory(const void* data, std::size_t size, const std::string& name,
                            const ExrReadLimits& limits = {});
