// One view of a file made into the frame the filter is handed, inside the stand-in host's storage:
// its samples converted straight into that storage a strip of rows at a time, colour as 16-bit
// levels, depth as floats and the ID channels the filter asks for at their host widths. This is
// the one way a frame reaches the filter, whatever is written afterwards. The memory stays with
// the worker from one frame to the next.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/frame_memory.h"
#include "exr/sample_source.h"
#include "frame/background.h"
#include "frame/display_colour.h"
#include "frame/view_frame.h"
#include "memory_storage.h"

namespace deepglass {

// What one worker keeps from frame to frame, so that the frames of a sequence do not each
// allocate, and fault in, their memory anew.
struct FrameBuffers {
    std::unique_ptr<MemoryStorage> storage;
    ReadScratch scratch;       // a strip of decoded rows, each decoding thread's chunk
    std::vector<float> colour; // RGBA as read, for a display transform
};

// A channel decoded in the same pass for a caller of its own (the rank-0 IDs a matte is built
// from): `sink` gets its samples as SampleSource::Read hands them over.
struct ExtraChannel {
    ViewChannel channel;
    std::function<void(int row, int column, int count, const std::uint32_t* samples)> sink;
};

struct LoadedFrame {
    MemoryStorage& storage;
    std::size_t taken = 0;                // pixels the background rule handed over as "nothing rendered"
    std::vector<std::string> blockColour; // subsampled colour channels, each sample taken for its block
};

// What keeps the view from being handed to the filter as `LoadStorageFrame` would load it: a
// channel it takes at every pixel (the depth, the IDs `channels` asks for, alpha where the
// background rule looks at it) stored subsampled. Empty when nothing does.
std::string SamplingProblem(const ViewFrame& made, const BackgroundRule& background, std::uint32_t channels);

// Fills the storage of `buffers` (made anew only when the frame's size differs from the last) with
// the channels `made` chose, over its frame's data window, with the background rule applied to
// its depth. Only the ID channels `channels` (the filter's channel bits) asks for are added, and
// only those the view has. Pixels a channel's part does not cover hold 0; a missing colour channel
// reads as 0, a missing alpha as opaque, a missing depth as 0; a subsampled colour channel gives
// each stored sample to its whole block. A ToolError for UINT depth, a SamplingProblem, an ID that
// does not fit the host's channel or a read that fails; nothing is allocated before the first two. With
// `extraRows`, the storage holds that many rows more below the frame, all 0, for the caller to fill.
// With `display`, the colour is read as floats, goes through the transform a frame at a time, as
// it needs R, G, B and A together, and only then becomes levels.
// What LoadStorageFrame of the same arguments holds by the account of a frame's memory: the host's
// frame, a matte, colour as floats, and the read (`read`, as the source gives it); the same
// ToolErrors as LoadStorageFrame for a view it would not load.
FrameShape StorageShapeOf(const SampleSource& source, const ViewFrame& made, const BackgroundRule& background,
                          std::uint32_t channels, const ExtraChannel* extra, int extraRows,
                          const DisplayColour* display, ReadMemory& read);

LoadedFrame LoadStorageFrame(SampleSource& source, const ViewFrame& made, const BackgroundRule& background,
                             std::uint32_t channels, FrameBuffers& buffers,
                             const ExtraChannel* extra = nullptr, int extraRows = 0,
                             const DisplayColour* display = nullptr);

} // namespace deepglass
