// Reading an EXR file, scanline or tiled, single- or multi-part, from a file or from memory: every
// part and every channel's view. Every failure is a ToolError whose message names the file and
// what is wrong with it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "files/exr_file.h"

// The host's frames are at most this wide and high (its bitmap sizes are 16-bit).
constexpr int FRAME_MAX_SIDE = 65535;

struct ExrReadResult {
    ExrFile file;
    std::string note; // something the reader skipped that the user may want to know
};

// Which channels to read the samples of, decided once the headers are known (`layout` has every
// part and view but no samples yet); the others are left without samples. Null reads them all.
// A ToolError it throws ends the read as it is.
using ChannelPick = std::function<bool(const ExrFile& layout, const ViewChannel& channel)>;

struct ExrReadLimits {
    // Frames with more pixels than this are refused before any sample memory is allocated
    // (0: only the side limit applies). Useful where memory is bounded, as under a fuzzer.
    std::size_t maxPixels = 0;
};

ExrReadResult ReadExrFile(const std::string& path, const ExrReadLimits& limits = {},
                          const ChannelPick& pick = {});
// `name` stands for the buffer in messages.
ExrReadResult ReadExrMemory(const void* data, std::size_t size, const std::string& name,
                            const ExrReadLimits& limits = {}, const ChannelPick& pick = {});
