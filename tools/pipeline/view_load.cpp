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

PreparedView LoadView(SampleSource& source, const ViewFrame& made, const std::optional<ViewMatte>& matte,
                      const ApplyRun& run, const LoadChoice& choice, FrameBuffers& buffers,
                      std::vector<std::string>& warnings)
{
    const ApplyOptions& options = run.options;
    const bool fixes = choice.forFilter && FixesScale(run);
    const int extraRows = fixes ? ScaleRows(made.frame.Width()) : 0;
    std::uint32_t channels = choice.channels;
    ViewFrame loaded = made;
    const bool colour = choice.colour && run.settings.mode != MODE_WHOLE_IMAGE;
    if (!colour) loaded.choice.hasColour = {false, false, false, made.choice.hasColour[3]};
    FrameChannel rankZero;
    std::optional<ExtraChannel> extra;
    if (matte) {
        rankZero = {matte->plan.idChannel.name, matte->plan.idChannel.type,
                    std::vector<std::uint32_t>(made.frame.PixelCount(), 0)};
        const std::size_t width = static_cast<std::size_t>(made.frame.Width());
        extra = ExtraChannel{matte->plan.idChannel, [&rankZero, width](int row, int column, int count,
                                                                       const std::uint32_t* samples) {
                                 std::copy_n(samples, count, rankZero.samples.begin() + row * width + column);
                             }};
        channels &= ~matte->channel;
    }
    const LoadedFrame frame =
        LoadStorageFrame(source, loaded, options.background, channels, buffers, extra ? &*extra : nullptr,
                         extraRows, colour ? run.display : nullptr);
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
