#include "pipeline/view_load.h"

#include <algorithm>

#include "base/tool_error.h"
#include "deepglass_interface.h"
#include "depth/depth_percentiles.h"

namespace deepglass {

namespace {

// Whether the run hands the filter frames on a scale or curve other than its own, with the scale's
// ends in rows below the frame.
bool FixesScale(const ApplyRun& run)
{
    const RangeChoice& range = run.options.range;
    return run.scale || range.clip || range.curve != DepthCurve::LINEAR;
}

// The scale a view is handed to the filter with.
std::optional<DepthScale> ScaleOfView(const ApplyRun& run, const PreparedView& prepared, bool selecting)
{
    if (run.scale) return run.scale;
    if (run.options.range.clip) return ClippedScaleOf(prepared.depth, *run.options.range.clip);
    return selecting ? ScaleOf(prepared.depth) : OwnScaleOf(prepared.stats);
}

} // namespace

std::optional<ViewMatte> MatteOf(const ExrFile& layout, const ViewFrame& made, const std::string& input,
                                 const ApplyRun& run)
{
    if (run.options.matte.patterns.empty()) return std::nullopt;
    ViewMatte matte{PlanMatte(layout, made.channels, input, run.options.matte, run.settings.mode)};
    matte.channel = SelectionChannelOf(matte.plan.mode);
    return matte;
}

namespace {

// What LoadView loads of a view, from its headers: the view with the colour it takes, the ID
// channels read (a matte's made from its own), the rows below the frame for a fixed scale, and
// the display transform kept colour goes through.
struct LoadPlan {
    ViewFrame loaded;
    std::uint32_t channels = 0;
    int extraRows = 0;
    bool colour = false;
    const DisplayColour* display = nullptr;
};

LoadPlan PlanLoad(const ViewFrame& made, const std::optional<ViewMatte>& matte, const ApplyRun& run,
                  const LoadChoice& choice)
{
    LoadPlan plan{made};
    plan.extraRows = choice.forFilter && FixesScale(run) ? ScaleRows(made.frame.Width()) : 0;
    plan.colour = choice.colour && run.settings.mode != MODE_WHOLE_IMAGE;
    if (!plan.colour) plan.loaded.choice.hasColour = {false, false, false, made.choice.hasColour[3]};
    plan.channels = choice.channels & (matte ? ~matte->channel : ~std::uint32_t{0});
    plan.display = plan.colour ? run.display : nullptr;
    return plan;
}

// The matte's rank-0 IDs as they are read, into `rankZero` over the frame's data window.
std::optional<ExtraChannel> RankZeroOf(const std::optional<ViewMatte>& matte, const ViewFrame& made,
                                       FrameChannel& rankZero)
{
    if (!matte) return std::nullopt;
    const std::size_t width = static_cast<std::size_t>(made.frame.Width());
    return ExtraChannel{matte->plan.idChannel,
                        [&rankZero, width](int row, int column, int count, const std::uint32_t* samples) {
                            std::copy_n(samples, count, rankZero.samples.begin() + row * width + column);
                        }};
}

} // namespace

FrameShape LoadShapeOf(const SampleSource& source, const ViewFrame& made,
                       const std::optional<ViewMatte>& matte, const ApplyRun& run, const LoadChoice& choice,
                       ReadMemory& read)
{
    const LoadPlan plan = PlanLoad(made, matte, run, choice);
    FrameChannel rankZero;
    const std::optional<ExtraChannel> extra = RankZeroOf(matte, made, rankZero);
    FrameShape shape = StorageShapeOf(source, plan.loaded, run.options.background, plan.channels,
                                      extra ? &*extra : nullptr, plan.extraRows, plan.display, read);
    if (matte) {
        // The matte's IDs go into the host's frame as the ID channel of its mode.
        shape.matte = true;
        (matte->channel == CHANNEL_MATERIAL_ID ? shape.materialIds : shape.objectIds) = true;
    }
    return shape;
}

std::uint64_t AdmitFrame(FrameRoute route, const FrameShape& shape, const ReadMemory& read,
                         std::uint64_t budget)
{
    const std::string problem = FrameMemoryProblem(route, shape, budget);
    if (!problem.empty()) throw ToolError(problem);
    return budget == 0 ? 0 : budget - FrameMemory(route, shape) + read.strip;
}

namespace {

// The rows [first, last) of the view's frame, counted from its data window's top, loaded as
// LoadView loads the frame (the rows below them left for the caller), with a matte's IDs made
// into the ID channel of its mode; `selected` counts the pixels the matte gave its ID.
LoadedFrame LoadRows(SampleSource& source, const std::optional<ViewMatte>& matte, const ApplyRun& run,
                     const LoadPlan& plan, int first, int last, FrameBuffers& buffers, std::size_t& selected,
                     std::vector<std::string>* warnings)
{
    const ViewFrame band = RowsOf(plan.loaded, first, last);
    FrameChannel rankZero;
    const std::optional<ExtraChannel> extra = RankZeroOf(matte, band, rankZero);
    if (matte)
        rankZero = {matte->plan.idChannel.name, matte->plan.idChannel.type,
                    std::vector<std::uint32_t>(band.frame.PixelCount(), 0)};
    LoadedFrame frame = LoadStorageFrame(source, band, run.options.background, plan.channels, buffers,
                                         extra ? &*extra : nullptr, plan.extraRows, plan.display);
    if (!matte) return frame;
    MemoryStorage& storage = frame.storage;
    MatteChannel ids =
        MatteChannelOf(matte->plan, rankZero, static_cast<std::uint16_t>(run.settings.SelectionId()));
    selected += ids.selected;
    if (warnings != nullptr) warnings->insert(warnings->end(), ids.warnings.begin(), ids.warnings.end());
    ids.ids.resize(storage.PixelCount(), 0);
    if (matte->channel == CHANNEL_MATERIAL_ID)
        std::copy(ids.ids.begin(), ids.ids.end(), storage.AddMaterialIds(MemoryStorage::Start::UNWRITTEN));
    else
        std::copy(ids.ids.begin(), ids.ids.end(), storage.AddObjectIds(MemoryStorage::Start::UNWRITTEN));
    return frame;
}

// With --range-over selection, the pixels the filter does not select are handed over as nothing
// rendered; false when the run does not ask for it.
bool KeepSelection(const ApplyRun& run, MemoryStorage& storage, std::span<float> depth)
{
    const std::uint32_t selection = SelectionChannelOf(run.settings.mode);
    if (!run.options.range.overSelection || selection == 0) return false;
    if (selection == CHANNEL_MATERIAL_ID)
        KeepSelected(depth, storage.MaterialIds(), run.settings.SelectionId());
    else
        KeepSelected(depth, storage.ObjectIds(), run.settings.SelectionId());
    return true;
}

// A ToolError when the run's curve cannot map depths on `scale`.
void RequireCurveTakes(const ApplyRun& run, const std::optional<DepthScale>& scale)
{
    if (scale && !CurveTakes(run.options.range.curve, *scale))
        throw ToolError(
            "--curve inverse maps 1/depth, and the frame's nearest depth magnitude taking part is 0 "
            "(after --background " +
            run.options.background.Text() +
            "), which has none; give --clip LOW:HIGH, a --background rule that takes those "
            "pixels, or --range NEAR:FAR with NEAR above 0");
}

} // namespace

ViewFrame RowsOf(const ViewFrame& made, int first, int last)
{
    ViewFrame band = made;
    PixelBox& window = band.frame.dataWindow;
    window.maxY = window.minY + last - 1;
    window.minY += first;
    return band;
}

PreparedView LoadView(SampleSource& source, const ViewFrame& made, const std::optional<ViewMatte>& matte,
                      const ApplyRun& run, const LoadChoice& choice, FrameBuffers& buffers,
                      std::vector<std::string>& warnings)
{
    const bool fixes = choice.forFilter && FixesScale(run);
    const LoadPlan plan = PlanLoad(made, matte, run, choice);
    std::size_t selected = 0;
    const LoadedFrame frame =
        LoadRows(source, matte, run, plan, 0, made.frame.Height(), buffers, selected, &warnings);
    MemoryStorage& storage = frame.storage;
    const std::size_t count = made.frame.PixelCount();
    const std::span<float> depth(storage.Depth(), count);
    PreparedView prepared{storage,     DepthStatsOf(depth, {storage.Pixels(), count}),
                          depth,       std::nullopt,
                          frame.taken, frame.blockColour};
    const bool selecting = KeepSelection(run, storage, depth);
    if (!choice.forFilter) return prepared;
    prepared.scale = ScaleOfView(run, prepared, selecting);
    RequireCurveTakes(run, prepared.scale);
    if (fixes)
        FixScale(prepared.scale, run.options.range.curve, {storage.Depth(), storage.PixelCount()}, count);
    return prepared;
}

bool GoesInStrips(const ViewFrame& made, const std::optional<ViewMatte>& matte, const ApplyRun& run)
{
    if (run.options.stripRows < 0) return false;
    const ChannelChoice& choice = made.choice;
    const bool colour = run.settings.mode != MODE_WHOLE_IMAGE;
    // Luminance-chroma colour goes through OpenEXR's RGBA interface, which opens the file anew and
    // filters chroma across rows at every read: it is read with the frame whole.
    if (colour && choice.lumaChroma && choice.hasColour[0]) return false;
    // A subsampled channel is decoded whole at every read (ExrInput::ReadSubsampled), so a frame
    // read a band of rows at a time would decode it once a band: such a frame is read whole.
    std::vector<std::string> read = {choice.depth, choice.material, choice.object};
    if (colour) read.insert(read.end(), choice.colour.begin(), choice.colour.end());
    read.push_back(choice.colour[3]);
    if (matte) read.push_back(matte->plan.idChannel.name);
    for (const ViewChannel& channel : made.channels)
        if (channel.Subsampled() && std::find(read.begin(), read.end(), channel.name) != read.end())
            return false;
    return true;
}

FrameShape HeldShapeOf(const SampleSource& source, const ViewFrame& made,
                       const std::optional<ViewMatte>& matte, const ApplyRun& run, int bandRows,
                       ReadMemory& read)
{
    const LoadChoice choice{run.options.range.overSelection ? run.channels : 0, false, true};
    return LoadShapeOf(source, RowsOf(made, 0, std::min(bandRows, made.frame.Height())),
                       run.options.range.overSelection ? matte : std::nullopt, run, choice, read);
}

HeldView HoldView(SampleSource& source, const ViewFrame& made, const std::optional<ViewMatte>& matte,
                  const ApplyRun& run, int bandRows, FrameBuffers& buffers, HeldDepths& depths)
{
    // Selection needs the IDs; the background rules need alpha and depth; nothing needs R, G, B.
    const bool over = run.options.range.overSelection;
    const std::optional<ViewMatte> selection = over ? matte : std::nullopt;
    LoadPlan plan = PlanLoad(made, selection, run, {over ? run.channels : 0, false, false});
    const std::size_t width = static_cast<std::size_t>(made.frame.Width());
    const int height = made.frame.Height();
    // The frame's depths stay from one frame of the same size to the next, and are never zero-filled:
    // every one is written below.
    const std::size_t pixels = made.frame.PixelCount();
    if (depths.size != pixels) {
        depths = {}; // an earlier frame's go before this one's are taken
        depths.values = HeldFloatsOf(pixels);
        depths.size = pixels;
    }
    const std::span<float> depth(depths.values.get(), pixels);
    HeldView held;
    held.depth = depth;
    DepthStatsSweep stats;
    std::size_t selected = 0;
    bool selecting = false;
    for (int first = 0; first < height; first += bandRows) {
        const int last = std::min(height, first + bandRows);
        const LoadedFrame band =
            LoadRows(source, selection, run, plan, first, last, buffers, selected, nullptr);
        const std::size_t count = width * static_cast<std::size_t>(last - first);
        const std::span<float> rows(depth.data() + width * static_cast<std::size_t>(first), count);
        std::copy_n(band.storage.Depth(), count, rows.begin());
        stats.Take(rows, {band.storage.Pixels(), count});
        held.taken += band.taken;
        selecting = KeepSelection(run, band.storage, rows);
    }
    held.stats = stats.stats;
    const DepthCurve curve = run.options.range.curve;
    if (run.scale)
        held.scale = run.scale;
    else if (run.options.range.clip)
        held.scale = ClippedScaleOf(held.depth, *run.options.range.clip);
    else
        held.scale = selecting ? ScaleOf(held.depth) : OwnScaleOf(held.stats);
    RequireCurveTakes(run, held.scale);
    if (selecting) {
        held.range.Take(held.depth);
    } else if (held.stats.takingPart > 0) {
        held.range = {held.stats.minMagnitude, held.stats.maxMagnitude};
    }
    if (!FixesScale(run)) return held;
    // The frame's depths fixed to the scale and the rows that would hold its ends below the frame
    // handed whole: the filter's range is what it would take over both.
    FixScale(held.scale, curve, held.depth, pixels);
    std::vector<float> ends(width * static_cast<std::size_t>(ScaleRows(made.frame.Width())));
    FixScale(held.scale, curve, ends, 0);
    held.range = {};
    held.range.Take(held.depth);
    held.range.Take(ends);
    return held;
}

LoadedFrame LoadBand(SampleSource& source, const ViewFrame& made, const std::optional<ViewMatte>& matte,
                     const ApplyRun& run, bool colour, int first, int last, FrameBuffers& buffers,
                     std::size_t& selected)
{
    const LoadPlan plan = PlanLoad(made, matte, run, {run.channels, colour, false});
    return LoadRows(source, matte, run, plan, first, last, buffers, selected, nullptr);
}

} // namespace deepglass
