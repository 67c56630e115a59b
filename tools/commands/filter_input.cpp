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

// The note for the first view whose pixels the automatic rule took.
std::string RuleNote(const ApplyOptions& options, std::size_t taken, std::size_t pixels)
{
    if (options.background.kind != BackgroundRule::Kind::AUTO || taken == 0) return {};
    return "--background auto handed " + ShareText(taken, pixels) +
           " of the frame to the filter as nothing rendered (" + AUTO_BACKGROUND_TEXT +
           "); --background none hands every pixel over as stored";
}

// Every view asked for, through the same steps whatever the output; `write` renders and writes.
// Without `withColour` the frame's colour is not loaded: the writer needs only what the filter
// rewrote.
void FilterViews(FilterRunner& runner, const ApplyRun& run, SampleSource& source, const std::string& input,
                 const std::string& output, FrameBuffers& buffers, bool withColour, const ViewWriter& write,
                 FilteredInput& filtered)
{
    const ApplyOptions& options = run.options;
    const bool perView = options.view == "all" && !source.Layout().Views().empty();
    for (const std::string& view : SelectViews(source.Layout(), options.view)) {
        const ViewFrame made = ViewLayoutOf(source.Layout(), view, options.names);
        const std::optional<ViewMatte> matte = MatteOf(source.Layout(), made, input, options);
        const std::string path = BeginView(run, made, matte, output, perView, filtered);
        const PreparedView prepared = LoadView(
            source, made, matte, run, {run.channels, withColour, run.scale}, buffers, filtered.warnings);
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
        const ViewFrame made = ViewLayoutOf(reader.Layout(), view, options.names);
        if (!made.choice.hasDepth) continue;
        const std::optional<ViewMatte> matte =
            options.range.overSelection ? MatteOf(reader.Layout(), made, input, options) : std::nullopt;
        const std::optional<DepthScale> viewScale =
            LoadView(reader, made, matte, run, {channels, false, std::nullopt}, buffers, warnings).scale;
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
    const PngFormat format = run.png;
    if (run.options.output.format == OutputFormat::PNG) {
        // A PNG takes only colour, depth and the IDs the filter asks for, decoded a strip at a time.
        // The filter leaves every pixel it does not select as it was handed over, so the frame's
        // own colour goes in and the picture comes out whole.
        ExrStripReader reader(input, limits);
        if (!reader.Note().empty()) filtered.warnings.push_back(reader.Note());
        FilterViews(
            runner, run, reader, input, output, buffers, true,
            [opaque, format](FilterRunner& filter, MemoryStorage& storage, const ViewFrame& made,
                             const std::string& path, std::vector<std::string>& warnings) {
                filter.Render(storage);
                WriteFilteredPng(path, made.frame, storage.Pixels(), opaque, format, warnings);
            },
            filtered);
        return filtered;
    }
    // An EXR keeps every part and channel: the whole file is read, and the pixels the filter
    // rewrote are told apart from those it kept so that the kept ones stay bit for bit.
    ExrReadResult read = ReadExrFile(input, limits);
    if (!read.note.empty()) filtered.warnings.push_back(read.note);
    HeldSamples held(read.file);
    // Each view but the last is written from a copy, so that the next starts from the file as read.
    std::size_t viewsLeft = SelectViews(read.file, run.options.view).size();
    FilterViews(
        runner, run, held, input, output, buffers, false,
        [&read, &viewsLeft](FilterRunner& filter, MemoryStorage& storage, const ViewFrame& made,
                            const std::string& path, std::vector<std::string>& warnings) {
            const std::vector<bool> rewritten =
                RenderFindingRewritten(filter, storage, made.frame.PixelCount());
            const FilteredView written{
                made.view,        made.choice.colour, PartOf(made, made.choice.depth), made.frame.dataWindow,
                storage.Pixels(), &rewritten};
            WriteFilteredExr(path, read.file, written, --viewsLeft > 0, warnings);
        },
        filtered);
    return filtered;
}
