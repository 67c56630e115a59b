#include "commands/filter_input.h"

#include <algorithm>
#include <utility>

#include "cli/tool_error.h"
#include "cryptomatte/matte_ids.h"
#include "files/atomic_output.h"
#include "files/exr_reader.h"
#include "files/exr_strip_reader.h"
#include "files/output_writer.h"
#include "host/rewritten_pixels.h"
#include "host/view_frame.h"

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

// The matte --matte asks for in the view, planned from the headers before any pixel is read.
std::optional<MattePlan> PlanOf(const ExrFile& layout, const ViewFrame& made, const std::string& input,
                                const ApplyOptions& options)
{
    if (options.matte.patterns.empty()) return std::nullopt;
    return PlanMatte(layout, made.channels, input, options.matte, *options.filter.mode);
}

// What each view goes through before its pixels: its output named and checked, its depth required,
// the channels taken told (a matte standing for the ID channel of its mode) and missing IDs warned
// of. Answers the output's path.
std::string BeginView(FilterRunner& runner, const ViewFrame& made, const std::optional<MattePlan>& plan,
                      const std::string& output, bool perView, const std::vector<std::string>& inputs,
                      FilteredInput& filtered)
{
    const std::string path = perView ? ViewOutputPath(output, made.view) : output;
    RefuseInputOverwrite(path, inputs);
    RequireDepth(made);
    ChannelChoice taken = made.choice;
    if (plan) {
        const bool material = plan->mode == MODE_MATERIAL_ID;
        (material ? taken.material : taken.object) = MatteSourceText(*plan);
        (material ? taken.hasMaterial : taken.hasObject) = true;
    }
    filtered.channels +=
        (filtered.channels.empty() ? "" : "; ") + (made.view.empty() ? "" : made.view + ": ") + taken.Text();
    WarnMissingIds(taken, runner.ChannelsRequired(), ViewChannelListText(made.channels), filtered.warnings);
    return path;
}

// The ID channel of the plan's mode as the matte makes it, from the rank-0 IDs over the frame.
std::vector<std::uint16_t> MatteIds(const MattePlan& plan, const FrameChannel& rankZero,
                                    const ApplyOptions& options, FilteredInput& filtered)
{
    MatteChannel matte = MatteChannelOf(plan, rankZero, static_cast<std::uint16_t>(*options.filter.id));
    filtered.warnings.insert(filtered.warnings.end(), matte.warnings.begin(), matte.warnings.end());
    return std::move(matte.ids);
}

void KeepStats(const DepthStats& stats, FilteredInput& filtered)
{
    if (!filtered.stats) filtered.stats = stats;
    if (filtered.hint.empty()) filtered.hint = BackgroundHint(stats);
}

// A PNG takes only colour, depth and the IDs the filter asks for: those are decoded a strip at a
// time straight into the storage the filter renders in, and the picture is written from it.
FilteredInput FilterToPng(FilterRunner& runner, const ApplyOptions& options, const std::string& input,
                          const std::string& output, const std::vector<std::string>& inputs,
                          FrameBuffers& buffers)
{
    ExrReadLimits limits;
    limits.maxSampleBytes = buffers.readBudget;
    ExrStripReader reader(input, limits);
    FilteredInput filtered;
    if (!reader.Note().empty()) filtered.warnings.push_back(reader.Note());
    const bool perView = options.view == "all" && !reader.Layout().Views().empty();
    for (const std::string& view : SelectViews(reader.Layout(), options.view)) {
        const ViewFrame made = ViewLayoutOf(reader.Layout(), view, options.names);
        const std::optional<MattePlan> plan = PlanOf(reader.Layout(), made, input, options);
        const std::string path = BeginView(runner, made, plan, output, perView, inputs, filtered);
        std::uint32_t channels = runner.ChannelsRequired();
        FrameChannel rankZero;
        std::optional<ExtraChannel> extra;
        if (plan) {
            // The matte's rank-0 IDs are decoded in the same pass and stand for the mode's ID channel.
            channels &= plan->mode == MODE_MATERIAL_ID ? ~CHANNEL_MATERIAL_ID : ~CHANNEL_OBJECT_ID;
            rankZero = {plan->idChannel.name, plan->idChannel.type,
                        std::vector<std::uint32_t>(made.frame.PixelCount(), 0)};
            const std::size_t width = static_cast<std::size_t>(made.frame.Width());
            extra =
                ExtraChannel{plan->idChannel, [&rankZero, width](int row, int column, int count,
                                                                 const std::uint32_t* samples) {
                                 std::copy_n(samples, count, rankZero.samples.begin() + row * width + column);
                             }};
        }
        MemoryStorage& storage =
            LoadStorageFrame(reader, made, options.background, channels, buffers, extra ? &*extra : nullptr);
        if (plan) {
            const std::vector<std::uint16_t> ids = MatteIds(*plan, rankZero, options, filtered);
            if (plan->mode == MODE_MATERIAL_ID)
                std::copy(ids.begin(), ids.end(), storage.AddMaterialIds(MemoryStorage::Start::UNWRITTEN));
            else
                std::copy(ids.begin(), ids.end(), storage.AddObjectIds(MemoryStorage::Start::UNWRITTEN));
        }
        const std::size_t count = storage.PixelCount();
        KeepStats(DepthStatsOf({storage.Depth(), count}, {storage.Pixels(), count}), filtered);
        // The filter leaves every pixel it does not select as it was handed over, so the frame's
        // own colour goes in and the picture comes out whole.
        runner.Render(storage);
        WriteFilteredPng(path, made.frame, storage.Pixels(), options.opaque, filtered.warnings);
        filtered.outputs.push_back(path);
    }
    return filtered;
}

// An EXR keeps every part and channel: the whole file is read, and the pixels the filter rewrote
// are told apart from those it kept so that the kept ones stay bit for bit.
FilteredInput FilterToExr(FilterRunner& runner, const ApplyOptions& options, const std::string& input,
                          const std::string& output, const std::vector<std::string>& inputs,
                          std::uint64_t readBudget)
{
    ExrReadLimits limits;
    limits.maxSampleBytes = readBudget;
    const ExrReadResult read = ReadExrFile(input, limits);
    FilteredInput filtered;
    if (!read.note.empty()) filtered.warnings.push_back(read.note);
    const bool perView = options.view == "all" && !read.file.Views().empty();
    for (const std::string& view : SelectViews(read.file, options.view)) {
        const ViewFrame made = FrameOfView(read.file, view, options.names);
        const std::optional<MattePlan> plan = PlanOf(read.file, made, input, options);
        const std::string path = BeginView(runner, made, plan, output, perView, inputs, filtered);
        HostFrame host = HostFrameOf(made.frame, made.choice, options.background, runner.ChannelsRequired());
        if (plan) {
            // Placed over the frame's data window like every other channel handed to the filter.
            const ExrFrame placed =
                GatherFrame(read.file, made.channels, {plan->idChannel.name}, made.choice.depth);
            std::vector<std::uint16_t> ids = MatteIds(*plan, placed.channels.at(0), options, filtered);
            if (plan->mode == MODE_MATERIAL_ID)
                host.materialIds.emplace(ids.begin(), ids.end());
            else
                host.objectIds = std::move(ids);
        }
        KeepStats(DepthStatsOf(host.depth, host.colour), filtered);
        const std::vector<bool> rewritten = RenderFindingRewritten(runner, host);
        const FilteredView written{
            view,         made.choice.colour, PartOf(made, made.choice.depth), made.frame.dataWindow,
            &host.colour, &rewritten};
        WriteFilteredExr(path, read.file, written, filtered.warnings);
        filtered.outputs.push_back(path);
    }
    return filtered;
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

FilteredInput FilterInput(FilterRunner& runner, const ApplyOptions& options, const std::string& input,
                          const std::string& output, const std::vector<std::string>& inputs,
                          FrameBuffers& buffers)
{
    if (options.output.format.value_or(OutputFormat::PNG) == OutputFormat::PNG)
        return FilterToPng(runner, options, input, output, inputs, buffers);
    return FilterToExr(runner, options, input, output, inputs, buffers.readBudget);
}
