#include "commands/filter_input.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "cryptomatte/matte_ids.h"
#include "files/exr_reader.h"
#include "files/exr_strip_reader.h"
#include "files/output_writer.h"
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

// The view's frame in the worker's storage. A matte's rank-0 IDs are decoded in the same pass and
// make the ID channel of its mode.
MemoryStorage& LoadView(SampleSource& source, const ViewFrame& made, const std::optional<ViewMatte>& matte,
                        const ApplyRun& run, FrameBuffers& buffers, FilteredInput& filtered)
{
    const ApplyOptions& options = run.options;
    if (!matte) return LoadStorageFrame(source, made, options.background, run.channels, buffers);
    FrameChannel rankZero{matte->plan.idChannel.name, matte->plan.idChannel.type,
                          std::vector<std::uint32_t>(made.frame.PixelCount(), 0)};
    const std::size_t width = static_cast<std::size_t>(made.frame.Width());
    const ExtraChannel extra{matte->plan.idChannel, [&rankZero, width](int row, int column, int count,
                                                                       const std::uint32_t* samples) {
                                 std::copy_n(samples, count, rankZero.samples.begin() + row * width + column);
                             }};
    MemoryStorage& storage =
        LoadStorageFrame(source, made, options.background, run.channels & ~matte->channel, buffers, &extra);
    MatteChannel ids = MatteChannelOf(matte->plan, rankZero, static_cast<std::uint16_t>(*options.filter.id));
    filtered.warnings.insert(filtered.warnings.end(), ids.warnings.begin(), ids.warnings.end());
    if (matte->channel == CHANNEL_MATERIAL_ID)
        std::copy(ids.ids.begin(), ids.ids.end(), storage.AddMaterialIds(MemoryStorage::Start::UNWRITTEN));
    else
        std::copy(ids.ids.begin(), ids.ids.end(), storage.AddObjectIds(MemoryStorage::Start::UNWRITTEN));
    return storage;
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
        MemoryStorage& storage = LoadView(source, made, matte, run, buffers, filtered);
        const std::size_t count = storage.PixelCount();
        const DepthStats stats = DepthStatsOf({storage.Depth(), count}, {storage.Pixels(), count});
        if (!filtered.stats) filtered.stats = stats;
        if (filtered.hint.empty()) filtered.hint = BackgroundHint(stats);
        write(runner, storage, made, path, filtered.warnings);
        filtered.outputs.push_back(path);
    }
}

} // namespace

std::vector<std::string> PlannedOutputs(const ApplyOptions& options, const std::string& input,
                                        const std::string& output)
{
    if (options.view != "all") return {output};
    const std::vector<std::string> views = ExrStripReader(input).Layout().Views();
    if (views.empty()) return {output};
    std::vector<std::string> outputs;
    for (const std::string& view : views) outputs.push_back(ViewOutputPath(output, view));
    return outputs;
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
