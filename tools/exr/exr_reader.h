// Reading an EXR file, scanline or tiled, flat or deep (made flat), single- or multi-part, from a
// file or from memory: every part and every channel's view. Every failure is a ToolError whose
// message names the file and what is wrong with it.
#pragma once

#include <ImfForward.h>

#include <cstddef>
#include <functional>
#include <string>

#include "exr/exr_file.h"
#include "exr/exr_layout.h"

namespace deepglass {

struct ExrReadResult {
    ExrFile file;
    std::string note; // something the reader skipped that the user may want to know
};

// Which channels to read the samples of, decided once the headers are known (`layout` has every
// part and view but no samples yet); the others are left without samples. Null reads them all.
// A ToolError it throws ends the read as it is.
using ChannelPick = std::function<bool(const ExrFile& layout, const ViewChannel& channel)>;

ExrReadResult ReadExrFile(const std::string& path, const ExrReadLimits& limits = {},
                          const ChannelPick& pick = {});
// `name` stands for the buffer in messages.
ExrReadResult ReadExrMemory(const void* data, std::size_t size, const std::string& name,
                            const ExrReadLimits& limits = {}, const ChannelPick& pick = {});

// Reads the samples of the picked channels of part `index` of the open `file` into `layout` (its
// layout, as ExrLayoutOf gave it); a deep part is read made flat, its sample counts within
// `limits` and what a file of `fileBytes` could hold.
void ReadPartSamples(Imf::MultiPartInputFile& file, int index, ExrFile& layout, const ChannelPick& pick,
                     const ExrReadLimits& limits, std::uint64_t fileBytes);

} // namespace deepglass
