// A view of an input made into the frame the filter is handed, as every output and the shot's
// first pass make it: its matte planned, its samples loaded, its grey scale fixed as the run asks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cryptomatte/matte_ids.h"
#include "exr/sample_source.h"
#include "frame/depth_scale.h"
#include "frame/frame_stats.h"
#include "frame/storage_frame.h"
#include "frame/view_frame.h"
#include "pipeline/apply_run.h"

namespace deepglass {

// A view's matte, planned from the headers before any pixel is read, and the ID channel it
// stands for (CHANNEL_MATERIAL_ID or CHANNEL_OBJECT_ID).
struct ViewMatte {
    MattePlan plan;
    std::uint32_t channel = 0;
};

// The matte --matte asks for in the view, for the filter's mode; none without --matte.
std::optional<ViewMatte> MatteOf(const ExrFile& layout, const ViewFrame& made, const std::string& input,
                                 const ApplyRun& run);

// A view's frame in the worker's storage as the filter is handed it, and what was found on the way.
struct PreparedView {
    MemoryStorage& storage;
    DepthStats stats;                     // of the depths as stored, after the background rule
    std::optional<DepthScale> scale;      // the filter's scale; none: no depth takes part
    std::size_t taken = 0;                // pixels the background rule took
    std::vector<std::string> blockColour; // subsampled colour channels, each sample taken for its block
};

// What is loaded of a view: the ID channels, whether its colour (without it only alpha is read,
// for the background rules; the whole mode, which rewrites every pixel, never reads it), and the
// scale to fix (none: the frame's own).
struct LoadChoice {
    std::uint32_t channels = 0;
    bool colour = true;
    std::optional<DepthScale> scale;
};

// The view's frame in the worker's storage. A matte's rank-0 IDs are decoded in the same pass and
// make the ID channel of its mode. The scale is then fixed as `choice` and the run ask: over the
// selected pixels alone, or the one given. The matte's warnings are added to `warnings`.
PreparedView LoadView(SampleSource& source, const ViewFrame& made, const std::optional<ViewMatte>& matte,
                      const ApplyRun& run, const LoadChoice& choice, FrameBuffers& buffers,
                      std::vector<std::string>& warnings);

} // namespace deepglass
