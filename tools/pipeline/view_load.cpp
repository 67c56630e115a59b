#include "pipeline/view_load.h"

#include <algorithm>

#include "base/tool_error.h"
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

PreparedView LoadView(SampleSource& source, const ViewFrame& made, const std::optional<ViewMatte>& matte,
                      const ApplyRun& run, const LoadChoice& choice, FrameBuffers& buffers,
                      std::vector<std::string>& warnings)
{
    const ApplyOptions& options = run.options;
    const bool fixes = choice.forFilter && FixesScale(run);
    const LoadPlan plan = PlanLoad(made, matte, run, choice);
    FrameChannel rankZero;
    const std::optional<ExtraChannel> extra = RankZeroOf(matte, made, rankZero);
    if (matte)
        rankZero = {matte->plan.idChannel.name, matte->plan.idChannel.type,
                    std::vector<std::uint32_t>(made.frame.PixelCount(), 0)};
    const LoadedFrame frame =
        LoadStorageFrame(source, plan.loaded, options.background, plan.channels, buffers,
                         extra ? &*extra : nullptr, plan.extraRows, plan.display);
    MemoryStorage& storage = frame.storage;
    const std::size_t count = made.frame.PixelCount();
    if (matte) {
        MatteChannel ids =
            MatteChannelOf(matte->plan, rankZero, static_cast<std::uint16_t>(run.settings.SelectionId()));
        warnings.insert(warnings.end(), ids.warnings.begin(), ids.warnings.end());
        ids.ids.resize(storage.PixelCount(), 0);
        if (matte->channel == CHANNEL_MATERIAL_ID)
            std::copy(ids.ids.begin(), ids.ids.end(),
                      storage.AddMaterialIds(MemoryStorage::Start::UNWRITTEN));
        else
            std::copy(ids.ids.begin(), ids.ids.end(), storage.AddObjectIds(MemoryStorage::Start::UNWRITTEN));
    }
    const std::span<float> depth(storage.Depth(), count);
    PreparedView prepared{storage,     DepthStatsOf(depth, {storage.Pixels(), count}),
                          depth,       std::nullopt,
                          frame.taken, frame.blockColour};
    const std::uint32_t selection = SelectionChannelOf(run.settings.mode);
    const bool selecting = options.range.overSelection && selection != 0;
    if (selecting) {
        if (selection == CHANNEL_MATERIAL_ID)
            KeepSelected(depth, storage.MaterialIds(), run.settings.SelectionId());
        else
            KeepSelected(depth, storage.ObjectIds(), run.settings.SelectionId());
    }
    if (!choice.forFilter) return prepared;
    prepared.scale = ScaleOfView(run, prepared, selecting);
    if (prepared.scale && !CurveTakes(options.range.curve, *prepared.scale))
        throw ToolError(
            "--curve inverse maps 1/depth, and the frame's nearest depth magnitude taking part is 0 "
            "(after --background " +
            options.background.Text() +
            "), which has none; give --clip LOW:HIGH, a --background rule that takes those "
            "pixels, or --range NEAR:FAR with NEAR above 0");
    if (fixes) FixScale(prepared.scale, options.range.curve, {storage.Depth(), storage.PixelCount()}, count);
    return prepared;
}

} // namespace deepglass
