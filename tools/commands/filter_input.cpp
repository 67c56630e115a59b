#include "commands/filter_input.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "base/number_text.h"
#include "cryptomatte/matte_ids.h"
#include "files/exr_reader.h"
#include "files/exr_strip_reader.h"
#include "files/output_writer.h"
#include "frame/depth_scale.h"
#include "frame/rewritten_pixels.h"
#include "frame/view_frame.h"

namespace {

// Renders the view's frame, in `storage`, and writes what came back to `path`.
using ViewWriter = std::function<void(FilterRunner& runner, MemoryStorage& storage, const ViewFrame& made,
                                      const std::string& path, std::vector<std::string>& warnings)>;

// A view's matte, planned from the headers before any pixel is read, and the ID channel it
// stands for (CHANNEL_MATERIAL_ID or CHANNEL_OBJECT_ID).
struct ViewMatte {
    MattePlan plan;
    std::uint32_t channel = 0;
};

std::optional<ViewMatte> MatteOf(const ExrFile& layout, const ViewFrame& made, const std::string& input,
                                 const ApplyOptions& options)
{
    if (options.matte.patterns.empty()) return std::nullopt;
    ViewMatte matte{PlanMatte(layout, made.channels, input, options.matte, *options.filter.mode)};
    matte.channel = matte.plan.mode == MODE_MATERIAL_ID ? CHANNEL_MATERIAL_ID : CHANNEL_OBJECT_ID;
    return matte;
}

void WarnMissingIds(const ChannelChoice& choice, std::uint32_t required, const std::string& channelList,
                    std::vector<std::string>& warnings)
{
    auto missing = [&](const char* what, const std::string& name) {
        warnings.push_back("no " + std::string(what) + " channel " + name +
                           ": the filter leaves the frame unchanged (the frame has " + channelList + ")");
    };
    if ((required & CHANNEL_MATERIAL_ID) && !choice.hasMaterial)
        missing("material-effects ID", choice.material);
    if ((required & CHANNEL_OBJECT_ID) && !choice.hasObject) missing("object ID", choice.object);
}

// What each view goes through before its pixels: its output named and checked, its depth required,
// the channels taken told (a matte standing for the ID channel of its mode) and missing IDs warned
// of. Answers the output's path.
std::string BeginView(const ApplyRun& run, const ViewFrame& made, const std::optional<ViewMatte>& matte,
                      const std::string& output, bool perView, FilteredInput& filtered)
{
    const std::string path = perView ? ViewOutputPath(output, made.view) : output;
    run.inputs.RefuseOverwrite(path);
    RequireDepth(made);
    ChannelChoice taken = made.choice;
    if (matte) {
        const bool material = matte->channel == CHANNEL_MATERIAL_ID;
        (material ? taken.material : taken.object) = MatteSourceText(matte->plan);
        (material ? taken.hasMaterial : taken.hasObject) = true;
    }
    filtered.channels +=
        (filtered.channels.empty() ? "" : "; ") + (made.view.empty() ? "" : made.view + ": ") + taken.Text();
    WarnMissingIds(taken, run.channels, ViewChannelListText(made.channels), filtered.warnings);
    return path;
}

// A view's frame in the worker's storage as the filter is handed it, and what was found on the way.
struct PreparedView {
    MemoryStorage& storage;
    DepthStats stats;                // of the depths as stored, after the background rule
    std::optional<DepthScale> scale; // the filter's scale; none: no depth takes part
    std::size_t taken = 0;           // pixels the background rule took
};

// The view's frame in the worker's storage. A matte's rank-0 IDs are decoded in the same pass and
// make the ID channel of its mode. The scale is then fixed as the run asks: over the selected
// pixels alone, or one for every frame.
PreparedView LoadView(SampleSource& source, const ViewFrame& made, const std::optional<ViewMatte>& matte,
                      const ApplyRun& run, FrameBuffers& buffers, std::uint32_t channels,
                      std::vector<std::string>& warnings)
{
    const ApplyOptions& options = run.options;
    const int extraRows = run.scale ? ScaleRows(made.frame.Width()) : 0;
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
    const LoadedFrame loaded = LoadStorageFrame(source, made, options.background, channels, buffers,
                                                extra ? &*extra : nullptr, extraRows);
    MemoryStorage& storage = loaded.storage;
    const std::size_t count = made.frame.PixelCount();
    if (matte) {
        const std::size_t all = storage.PixelCount();
        MatteChannel ids =
            MatteChannelOf(matte->plan, rankZero, static_cast<std::uint16_t>(*options.filter.id));
        warnings.insert(warnings.end(), ids.warnings.begin(), ids.warnings.end());
        ids.ids.resize(all, 0);
        if (matte->channel == CHANNEL_MATERIAL_ID)
            std::copy(ids.ids.begin(), ids.ids.end(),
                      storage.AddMaterialIds(MemoryStorage::Start::UNWRITTEN));
        else
            std::copy(ids.ids.begin(), ids.ids.end(), storage.AddObjectIds(MemoryStorage::Start::UNWRITTEN));
    }
    const std::span<float> depth(storage.Depth(), count);
    PreparedView prepared{storage, DepthStatsOf(depth, {storage.Pixels(), count}), std::nullopt,
                          loaded.taken};
    const std::int32_t mode = run.settings.mode;
    const bool selecting =
        options.range.overSelection && (mode == MODE_MATERIAL_ID || mode == MODE_OBJECT_ID);
    if (selecting) {
        if (mode == MODE_MATERIAL_ID)
            KeepSelected(depth, storage.MaterialIds(), run.settings.SelectionId());
        else
            KeepSelected(depth, storage.ObjectIds(), run.settings.SelectionId());
    }
    if (run.scale) {
        prepared.scale = run.scale;
        FixScale(*run.scale, {storage.Depth(), storage.PixelCount()}, count);
    } else if (selecting) {
        prepared.scale = ScaleOf(depth);
    } else if (prepared.stats.takingPart > 0) {
        prepared.scale = DepthScale{prepared.stats.minMagnitude, prepared.stats.maxMagnitude};
    }
    return prepared;
}

// The note for the first view whose pixels the automatic rule took.
std::string RuleNote(const ApplyOptions& options, std::size_t taken, std::size_t pixels)
{
    if (options.background.kind != BackgroundRule::Kind::AUTO || taken == 0) return {};
    return "--background auto handed " + ShareText(taken, pixels) +
           " of the frame to the filter as nothing rendered (" + AUTO_BACKGROUND_TEXT +
           "); --background none hands every pixel over as stored";
}

// Every view asked for, through the same steps whatever the output; `write` renders and writes.
void FilterViews(FilterRunner& runner, const ApplyRun& run, SampleSource& source, const std::string& input,
                 const std::string& output, FrameBuffers& buffers, const ViewWriter& write,
                 FilteredInput& filtered)
{
    const ApplyOptions& options = run.options;
    const bool perView = options.view == "all" && !source.Layout().Views().empty();
    for (const std::string& view : SelectViews(source.Layout(), options.view)) {
        const ViewFrame made = ViewLayoutOf(source.Layout(), view, options.names);
        const std::optional<ViewMatte> matte = MatteOf(source.Layout(), made, input, options);
        const std::string path = BeginView(run, made, matte, output, perView, filtered);
        const PreparedView prepared =
            LoadView(source, made, matte, run, buffers, run.channels, filtered.warnings);
        if (filtered.outputs.empty()) {
            filtered.stats = prepared.stats;
            filtered.scale = prepared.scale;
        }
        if (filtered.hint.empty()) filtered.hint = BackgroundHint(prepared.stats);
        if (filtered.ruleNote.empty())
            filtered.ruleNote = RuleNote(options, prepared.taken, made.frame.PixelCount());
        write(runner, prepared.storage, made, path, filtered.warnings);
        filtered.outputs.push_back(path);
    }
}

} // namespace

std::vector<std::string> PlannedOutputs(const ApplyOptions& options, const FrameBuffers& buffers,
                                        const std::string& input, const std::string& output)
{
    if (options.view != "all") return {output};
    ExrReadLimits limits;
    limits.maxSampleBytes = buffers.readBudget;
    const std::vector<std::string> views = ExrStripReader(input, limits).Layout().Views();
    if (views.empty()) return {output};
    std::vector<std::string> outputs;
    for (const std::string& view : views) outputs.push_back(ViewOutputPath(output, view));
    return outputs;
}

std::optional<DepthScale> InputScale(const ApplyRun& run, const std::string& input, FrameBuffers& buffers)
{
    ExrReadLimits limits;
    limits.maxSampleBytes = buffers.readBudget;
    ExrStripReader reader(input, limits);
    const ApplyOptions& options = run.options;
    // Selection needs the IDs; the background rules need alpha and depth; nothing needs R, G, B.
    const std::uint32_t channels = options.range.overSelection ? run.channels : 0;
    std::optional<DepthScale> scale;
    std::vector<std::string> warnings;
    for (const std::string& view : SelectViews(reader.Layout(), options.view)) {
        ViewFrame made = ViewLayoutOf(reader.Layout(), view, options.names);
        if (!made.choice.hasDepth) continue;
        made.choice.hasColour = {false, false, false, made.choice.hasColour[3]};
        const std::optional<ViewMatte> matte =
            options.range.overSelection ? MatteOf(reader.Layout(), made, input, options) : std::nullopt;
        ApplyRun own{options, InputFiles({}), run.channels, run.settings, std::nullopt};
        const std::optional<DepthScale> viewScale =
            LoadView(reader, made, matte, own, buffers, channels, warnings).scale;
        if (viewScale) scale = scale ? Widened(*scale, *viewScale) : *viewScale;
    }
    return scale;
}

FilteredInput FilterInput(FilterRunner& runner, const ApplyRun& run, const std::string& input,
                          const std::string& output, FrameBuffers& buffers)
{
    ExrReadLimits limits;
    limits.maxSampleBytes = buffers.readBudget;
    FilteredInput filtered;
    const bool opaque = run.options.opaque;
    if (run.options.output.format == OutputFormat::PNG) {
        // A PNG takes only colour, depth and the IDs the filter asks for, decoded a strip at a time.
        // The filter leaves every pixel it does not select as it was handed over, so the frame's
        // own colour goes in and the picture comes out whole.
        ExrStripReader reader(input, limits);
        if (!reader.Note().empty()) filtered.warnings.push_back(reader.Note());
        FilterViews(
            runner, run, reader, input, output, buffers,
            [opaque](FilterRunner& filter, MemoryStorage& storage, const ViewFrame& made,
                     const std::string& path, std::vector<std::string>& warnings) {
                filter.Render(storage);
                WriteFilteredPng(path, made.frame, storage.Pixels(), opaque, warnings);
            },
            filtered);
        return filtered;
    }
    // An EXR keeps every part and channel: the whole file is read, and the pixels the filter
    // rewrote are told apart from those it kept so that the kept ones stay bit for bit.
    const ExrReadResult read = ReadExrFile(input, limits);
    if (!read.note.empty()) filtered.warnings.push_back(read.note);
    HeldSamples held(read.file);
    FilterViews(
        runner, run, held, input, output, buffers,
        [&read](FilterRunner& filter, MemoryStorage& storage, const ViewFrame& made, const std::string& path,
                std::vector<std::string>& warnings) {
            const std::vector<bool> rewritten = RenderFindingRewritten(filter, storage);
            const FilteredView written{
                made.view,        made.choice.colour, PartOf(made, made.choice.depth), made.frame.dataWindow,
                storage.Pixels(), &rewritten};
            WriteFilteredExr(path, read.file, written, warnings);
        },
        filtered);
    return filtered;
}
