// A view of an input made into the frame the filter is handed, as every output and the shot's
// first pass make it: its matte planned, its samples loaded, its grey scale fixed as the run asks.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cryptomatte/matte_ids.h"
#include "depth/depth_scale.h"
#include "depth/filter_range.h"
#include "exr/sample_source.h"
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
    std::span<const float> depth;         // the frame's depths the scale is taken over (after selection)
    std::optional<DepthScale> scale;      // the scale the filter was handed; none: no depth takes part
    std::size_t taken = 0;                // pixels the background rule took
    std::vector<std::string> blockColour; // subsampled colour channels, each sample taken for its block
};

// What is loaded of a view: the ID channels, whether its colour (without it only alpha is read,
// for the background rules; the whole mode, which rewrites every pixel, never reads it), and
// whether it is made for the filter, its scale fixed as the run asks (else only its depths are
// loaded, for the shot's first pass).
struct LoadChoice {
    std::uint32_t channels = 0;
    bool colour = true;
    bool forFilter = true;
};

// What LoadView of the same arguments takes, by the account of a frame's memory (the route's own
// entries left for the caller to add), and what its read takes (`read`); the ToolErrors LoadView
// would raise for a view it cannot load.
FrameShape LoadShapeOf(const SampleSource& source, const ViewFrame& made,
                       const std::optional<ViewMatte>& matte, const ApplyRun& run, const LoadChoice& choice,
                       ReadMemory& read);

// Refuses with a ToolError a frame of `shape` that takes more than `budget` bytes (0: none) on
// `route`; what the read's strip and decoding threads may take within the budget (0: no limit).
std::uint64_t AdmitFrame(FrameRoute route, const FrameShape& shape, const ReadMemory& read,
                         std::uint64_t budget);

// The view's frame in the worker's storage. A matte's rank-0 IDs are decoded in the same pass and
// make the ID channel of its mode. With --range-over selection the unselected pixels are then
// handed over as nothing rendered. Made for the filter, its scale is the run's one scale, else
// the frame's own (its nearest and farthest, or with --clip its percentiles), fixed in the frame
// with the run's curve where they are not the filter's own; a ToolError when the curve cannot take
// it. The matte's warnings are added to `warnings`.
PreparedView LoadView(SampleSource& source, const ViewFrame& made, const std::optional<ViewMatte>& matte,
                      const ApplyRun& run, const LoadChoice& choice, FrameBuffers& buffers,
                      std::vector<std::string>& warnings);

// The rows [first, last) of a view's frame, counted from its data window's top, as a frame of its own.
ViewFrame RowsOf(const ViewFrame& made, int first, int last);

// Whether the view can go to the filter a strip of rows at a time (see HoldView), rather than whole:
// not when --strips are off (stripRows < 0), nor for channels that cannot be read a band of rows at
// a time at the cost of one read.
bool GoesInStrips(const ViewFrame& made, const std::optional<ViewMatte>& matte, const ApplyRun& run);

// The first pass of a frame that goes to the filter in strips holds only what its scale needs.
struct HeldView {
    std::span<float> depth;          // the frame's depths as the filter is handed them: after the
                                     // background rule, the selection and a fixed scale (in the buffers)
    DepthStats stats;                // of the depths as stored, after the background rule
    std::optional<DepthScale> scale; // as LoadView's
    std::size_t taken = 0;           // pixels the background rule took
    FilterRange range;               // the filter's own range over the frame as LoadView hands it whole
};

// What HoldView of the same arguments takes, by the account: the read of one band.
FrameShape HeldShapeOf(const SampleSource& source, const ViewFrame& made,
                       const std::optional<ViewMatte>& matte, const ApplyRun& run, int bandRows,
                       ReadMemory& read);

// The view's depths read a band of `bandRows` rows at a time (depth, alpha for the background rules,
// and with --range-over selection the IDs) into `buffers`, held in `held`, with the scale LoadView would
// hand the filter and the range the filter would take the frame whole by; the same ToolErrors as
// LoadView. The warnings of a matte are those of LoadBand.
HeldView HoldView(SampleSource& source, const ViewFrame& made, const std::optional<ViewMatte>& matte,
                  const ApplyRun& run, int bandRows, FrameBuffers& buffers, HeldDepths& held);

// The rows [first, last) of the view in the storage of `buffers`, loaded as LoadView loads them, with
// colour when `colour` (else only alpha), before any scale is fixed; `selected` adds the pixels a
// matte gave its ID (see MatteWarnings).
LoadedFrame LoadBand(SampleSource& source, const ViewFrame& made, const std::optional<ViewMatte>& matte,
                     const ApplyRun& run, bool colour, int first, int last, FrameBuffers& buffers,
                     std::size_t& selected);

} // namespace deepglass
