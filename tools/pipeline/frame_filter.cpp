#include "pipeline/frame_filter.h"

#include "base/list_text.h"
#include "base/number_text.h"
#include "deepglass_interface.h"
#include "exr/file_memory.h"
#include "pipeline/view_load.h"
#include "pipeline/view_strips.h"
#include "pipeline/view_writer.h"

namespace deepglass {

namespace {

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

// The channels taken, as the note tells them: a matte stands for the ID channel of its mode.
ChannelChoice TakenChannels(const ViewFrame& made, const std::optional<ViewMatte>& matte)
{
    ChannelChoice taken = made.choice;
    if (matte && matte->channel == CHANNEL_MATERIAL_ID) {
        taken.material = MatteSourceText(matte->plan);
        taken.hasMaterial = true;
    } else if (matte) {
        taken.object = MatteSourceText(matte->plan);
        taken.hasObject = true;
    }
    return taken;
}

// The note for the first view whose pixels the automatic rule took.
std::string RuleNote(const ApplyOptions& options, std::size_t taken, std::size_t pixels)
{
    if (options.background.kind != BackgroundRule::Kind::AUTO || taken == 0) return {};
    return "--background auto handed " + ShareText(taken, pixels) +
           " of the frame to the filter as nothing rendered (" + AUTO_BACKGROUND_TEXT +
           "); --background none hands every pixel over as stored";
}

// The note for a view whose colour channels are subsampled.
std::string SamplingNote(const std::vector<std::string>& channels)
{
    if (channels.empty()) return {};
    return (channels.size() == 1 ? "channel " + channels[0] + " is"
                                 : "channels " + ListText(channels) + " are") +
           " subsampled: each stored sample is taken for the whole block of pixels it covers";
}

// The pixels the filter writes greys into, as a mapping names them.
std::string GreyPixels(const FilterSettings& settings)
{
    const std::string id = std::to_string(settings.SelectionId());
    if (settings.mode == MODE_MATERIAL_ID) return "material-effects ID " + id;
    if (settings.mode == MODE_OBJECT_ID) return "object ID " + id;
    return "every pixel";
}

// What the greys of a view stand for, but for where the writer holds them.
DepthMapping MappingOf(const ApplyRun& run, const ViewFrame& made, const std::optional<DepthScale>& scale,
                       std::optional<int> frame)
{
    DepthMapping mapping;
    mapping.scale = scale;
    mapping.curve = run.options.range.curve;
    mapping.depth = made.choice.depth;
    mapping.view = made.view;
    mapping.background = run.options.background.Text();
    mapping.pixels = GreyPixels(run.settings);
    mapping.frame = frame;
    mapping.tool = DEEPGLASS_VERSION_NUMBER;
    mapping.module = run.module;
    return mapping;
}

// What the first view to have them tells of its frame: its scale, the background hint, the notes.
void Note(FilteredFrame& filtered, const ApplyOptions& options, const ViewFrame& made,
          const std::optional<DepthScale>& scale, const DepthStats& stats, std::size_t taken,
          const std::vector<std::string>& blockColour)
{
    if (filtered.outputs.empty()) filtered.scale = scale;
    if (filtered.hint.empty()) filtered.hint = BackgroundHint(stats);
    if (filtered.ruleNote.empty()) filtered.ruleNote = RuleNote(options, taken, made.frame.PixelCount());
    if (filtered.samplingNote.empty()) filtered.samplingNote = SamplingNote(blockColour);
}

// The view to a PNG in strips: held to the strip route's cost, its depths held from a first pass,
// then a band of its rows at a time loaded (in the ID modes, whose strips need colour and IDs),
// handed to the filters a strip each and written as the picture's segments are ready.
HeldView FilterInStrips(const ApplyRun& run, Worker& worker, SampleSource& source, const ViewFrame& made,
                        const std::optional<ViewMatte>& matte, PngViewWriter& writer, const std::string& path,
                        std::optional<int> frame, std::vector<std::string>& warnings)
{
    const int height = made.frame.Height();
    const int passRows = STRIP_ROWS * std::max(run.frameThreads, 1);
    const bool bands = run.settings.mode != MODE_WHOLE_IMAGE;
    const int bandRows = std::max(passRows, bands ? writer.BandRows(made) : 0);
    ReadMemory read;
    FrameShape shape = LoadShapeOf(source, RowsOf(made, 0, std::min(bandRows, height)), matte, run,
                                   {run.channels, true, false}, read);
    shape.height = static_cast<std::uint64_t>(height);
    shape.bandRows = static_cast<std::uint64_t>(bandRows);
    shape.percentiles = run.options.range.clip.has_value();
    worker.buffers.scratch.allowance = writer.AdmitStrips(shape, read, made, run.limits.maxSampleBytes);
    const HeldView held = HoldView(source, made, matte, run, passRows, worker.buffers, worker.depths);
    const int stripRows = run.options.stripRows > 0 ? run.options.stripRows : StripRowsOf(shape.width);
    // Strips end where the picture's segments do: data row 0 is picture row (data minY - display minY).
    const int start = made.frame.displayWindow.minY - made.frame.dataWindow.minY;
    StripFilters filters({worker.lanes.data(), static_cast<std::size_t>(writer.Threads())}, made, held,
                         stripRows, writer.SegmentRows(made), start);
    std::size_t selected = 0;
    const FilteredBands rows{[&](int first, int last) {
                                 if (!bands) return filters.Band(nullptr, first);
                                 LoadedFrame band = LoadBand(source, made, matte, run, true, first, last,
                                                             worker.buffers, selected);
                                 filters.Band(&band.storage, first);
                             },
                             [&](int row) { return filters.Row(row); }};
    const std::size_t before = warnings.size();
    writer.WriteBands(rows, made, path, MappingOf(run, made, held.scale, frame), warnings);
    if (matte) {
        const std::vector<std::string> said = MatteWarnings(matte->plan, selected);
        warnings.insert(warnings.begin() + static_cast<std::ptrdiff_t>(before), said.begin(), said.end());
    }
    return held;
}

// Every view the run names, through the same steps whatever the output: its output named and
// checked, its depth required, the channels taken told and missing IDs warned of, its frame
// loaded, then rendered and written by `writer`.
FilteredFrame FilterViews(const ApplyRun& run, Worker& worker, SampleSource& source, const std::string& input,
                          const std::string& output, std::optional<int> frame, ViewWriter& writer)
{
    const ApplyOptions& options = run.options;
    const bool perView = options.view == "all" && !source.Layout().Views().empty();
    FilteredFrame filtered;
    for (const std::string& view : SelectViews(source.Layout(), options.view)) {
        const ViewFrame made = ViewLayoutOf(source.Layout(), view, options.names);
        const std::optional<ViewMatte> matte = MatteOf(source.Layout(), made, input, run);
        const std::string path = perView ? ViewOutputPath(output, made.view) : output;
        run.inputs.RefuseOverwrite(path);
        RequireDepth(made);
        const ChannelChoice taken = TakenChannels(made, matte);
        filtered.channels += (filtered.channels.empty() ? "" : "; ") +
                             (made.view.empty() ? "" : made.view + ": ") + taken.Text();
        WarnMissingIds(taken, run.channels, ViewChannelListText(made.channels), filtered.warnings);
        PngViewWriter* strips = writer.InStrips();
        std::optional<HeldView> held;
        if (strips != nullptr && GoesInStrips(made, matte, run))
            held = FilterInStrips(run, worker, source, made, matte, *strips, path, frame, filtered.warnings);
        if (held) {
            Note(filtered, options, made, held->scale, held->stats, held->taken, {});
        } else {
            const LoadChoice choice{run.channels, writer.TakesColour(), true};
            ReadMemory read;
            const FrameShape shape = LoadShapeOf(source, made, matte, run, choice, read);
            worker.buffers.scratch.allowance = writer.Admit(shape, read, made, run.limits.maxSampleBytes);
            const PreparedView prepared =
                LoadView(source, made, matte, run, choice, worker.buffers, filtered.warnings);
            Note(filtered, options, made, prepared.scale, prepared.stats, prepared.taken,
                 prepared.blockColour);
            writer.Write(*worker.filter, prepared.storage, made, path,
                         MappingOf(run, made, prepared.scale, frame), filtered.warnings);
        }
        filtered.outputs.push_back(path);
    }
    return filtered;
}

// Refuses a file whose views, filtered into an EXR output, would take more than the worker's budget
// (0: none), before the file is read whole.
void AdmitWholeRead(const ApplyRun& run, const ExrInput& input)
{
    const ExrFile& layout = input.Layout();
    const HeldSamples layoutOnly(layout);
    const std::vector<std::string> views = SelectViews(layout, run.options.view);
    for (const std::string& view : views) {
        const ViewFrame made = ViewLayoutOf(layout, view, run.options.names);
        if (!made.choice.hasDepth) continue; // refused by name when it is filtered
        ReadMemory read;
        FrameShape shape = LoadShapeOf(layoutOnly, made, MatteOf(layout, made, input.Path(), run), run,
                                       {run.channels, false, true}, read);
        AddWholeFile(shape, layout, views.size());
        AdmitFrame(FrameRoute::EXR, shape, read, run.limits.maxSampleBytes);
    }
}

} // namespace

std::vector<std::string> PlannedOutputs(const ApplyOptions& options, const ExrFile& layout,
                                        const std::string& output)
{
    if (options.view != "all" || layout.Views().empty()) return {output};
    std::vector<std::string> outputs;
    for (const std::string& view : layout.Views()) outputs.push_back(ViewOutputPath(output, view));
    return outputs;
}

void CountFrameDepths(const ApplyRun& run, ExrInput& input, FrameBuffers& buffers,
                      const std::function<void(std::span<const float>)>& count)
{
    const ApplyOptions& options = run.options;
    // Selection needs the IDs; the background rules need alpha and depth; nothing needs R, G, B.
    const std::uint32_t channels = options.range.overSelection ? run.channels : 0;
    std::vector<std::string> warnings;
    for (const std::string& view : SelectViews(input.Layout(), options.view)) {
        const ViewFrame made = ViewLayoutOf(input.Layout(), view, options.names);
        if (!made.choice.hasDepth) continue;
        const std::optional<ViewMatte> matte =
            options.range.overSelection ? MatteOf(input.Layout(), made, input.Path(), run) : std::nullopt;
        const LoadChoice choice{channels, false, false};
        ReadMemory read;
        const FrameShape shape = LoadShapeOf(input, made, matte, run, choice, read);
        buffers.scratch.allowance =
            AdmitFrame(FrameRoute::SCALE_PASS, shape, read, run.limits.maxSampleBytes);
        count(LoadView(input, made, matte, run, choice, buffers, warnings).depth);
    }
}

FilteredFrame FilterFrame(const ApplyRun& run, Worker& worker, ExrInput& input, const std::string& output,
                          std::optional<int> frame, std::size_t place)
{
    FilteredFrame filtered;
    if (run.video != nullptr) {
        // A video's frame is the picture a PNG would hold, read the same way.
        VideoViewWriter writer(*run.video, place, run.options.opaque);
        filtered = FilterViews(run, worker, input, input.Path(), output, frame, writer);
    } else if (run.options.output.format == OutputFormat::PNG) {
        // A PNG takes only colour, depth and the IDs the filter asks for, decoded a strip at a time.
        PngViewWriter writer(run.options.opaque, run.png, run.frameThreads);
        filtered = FilterViews(run, worker, input, input.Path(), output, frame, writer);
    } else {
        // An EXR keeps every part and channel: the whole file is read, once every view it is read
        // for is known to fit in the budget.
        AdmitWholeRead(run, input);
        worker.buffers = FrameBuffers{}; // what an earlier frame kept goes before the file comes
        ExrFile file = input.ReadWhole();
        HeldSamples held(file);
        ExrViewWriter writer(file, SelectViews(file, run.options.view).size());
        filtered = FilterViews(run, worker, held, input.Path(), output, frame, writer);
    }
    if (!input.Note().empty()) filtered.warnings.insert(filtered.warnings.begin(), input.Note());
    return filtered;
}

} // namespace deepglass
