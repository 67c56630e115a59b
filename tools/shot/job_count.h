// How many frames to work on at once when the command line does not say: one a core, fewer when
// that many frames in flight would not fit in the memory budget.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "shot/output_paths.h"

namespace deepglass {

// The memory a frame of this size takes while it is filtered (read, handed to the filter, written),
// from its header, by the account of a frame's memory (base/frame_memory.h) on the output's route:
// an upper bound, in bytes, never below what its samples claim of the budget. The header is read
// within `readBudget` (0: none), as the frame itself will be; a ToolError for a file that cannot be
// read or claims more. `displayColour`: a PNG's kept colour goes through a display transform, as
// floats.
std::uint64_t FrameMemoryEstimate(const std::string& input, OutputFormat format, std::uint64_t readBudget,
                                  bool displayColour = false);

// The memory a video's encoder holds besides the frames in flight, once for the whole run, for a
// shot of frames the size of `input`'s (0 for pictures). Read as FrameMemoryEstimate reads.
std::uint64_t EncoderMemoryEstimate(const std::string& input, OutputFormat format, std::uint64_t readBudget);

// Workers for `frames` frames of `frameBytes` each on this machine within `budget` bytes (0: no
// budget): at least 1, at most the number of cores and the number of frames.
int DefaultJobCount(std::size_t frames, std::uint64_t frameBytes, std::uint64_t budget);

// Threads for OpenEXR to decode with while `jobs` workers run: one a core when cores would
// otherwise idle, none (each worker decodes its own) when the workers take every core. They decode
// only what the tool does not decode itself (see DecodesOwnChunks), which takes FrameThreadCount.
int DecodeThreadCount(int jobs);
// Threads one frame may work with while `jobs` workers run: the cores shared out among them, at
// least 1.
int FrameThreadCount(int jobs);

} // namespace deepglass
