#include "commands/filter_input.h"

#include <memory>
#include <set>
#include <utility>

#include "cli/tool_error.h"
#include "files/atomic_output.h"
#include "files/exr_reader.h"
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

// Reads only the channels the chosen views take, unless the output keeps every channel.
ChannelPick PickFor(const ApplyOptions& options, OutputFormat format)
{
    if (format == OutputFormat::EXR) return {};
    auto wanted = std::make_shared<std::set<std::pair<int, std::string>>>();
    auto settled = std::make_shared<bool>(false);
    return [=, &options](const ExrFile& layout, const ViewChannel& channel) {
        if (!*settled) {
            for (const std::string& view : SelectViews(layout, options.view)) {
                const std::vector<ViewChannel> channels = layout.ChannelsOfView(view);
                const ChannelChoice choice = ChooseChannels(channels, options.names);
                for (const std::string& name : choice.Present())
                    for (const ViewChannel& candidate : channels)
                        if (candidate.name == name) wanted->insert({candidate.part, candidate.storedName});
            }
            *settled = true;
        }
        return wanted->count({channel.part, channel.storedName}) != 0;
    };
}

} // namespace

FilteredInput FilterInput(FilterRunner& runner, const ApplyOptions& options, const std::string& input,
                          const std::string& output, const std::vector<std::string>& inputs)
{
    const OutputFormat format = options.output.format.value_or(OutputFormat::PNG);
    const ExrReadResult read = ReadExrFile(input, {}, PickFor(options, format));
    FilteredInput filtered;
    if (!read.note.empty()) filtered.warnings.push_back(read.note);
    const std::vector<std::string> views = SelectViews(read.file, options.view);
    const bool perView = options.view == "all" && !read.file.Views().empty();
    for (const std::string& view : views) {
        const std::string path = perView ? ViewOutputPath(output, view) : output;
        RefuseInputOverwrite(path, inputs);
        const ViewFrame made = FrameOfView(read.file, view, options.names);
        RequireDepth(made);
        filtered.channels +=
            (filtered.channels.empty() ? "" : "; ") + (view.empty() ? "" : view + ": ") + made.choice.Text();
        const std::uint32_t required = runner.ChannelsRequired();
        WarnMissingIds(made.choice, required, ViewChannelListText(made.channels), filtered.warnings);
        HostFrame host = HostFrameOf(made.frame, made.choice, options.background, required);
        const DepthStats stats = DepthStatsOf(host.depth, host.colour);
        if (!filtered.stats) filtered.stats = stats;
        if (filtered.hint.empty()) filtered.hint = BackgroundHint(stats);
        const std::vector<bool> rewritten = RenderFindingRewritten(runner, host);
        if (format == OutputFormat::PNG) {
            WriteFilteredPng(path, made.frame, host.colour, options.opaque, filtered.warnings);
        } else {
            const FilteredView written{
                view,         made.choice.colour, PartOf(made, made.choice.depth), made.frame.dataWindow,
                &host.colour, &rewritten};
            WriteFilteredExr(path, read.file, written, filtered.warnings);
        }
        filtered.outputs.push_back(path);
    }
    return filtered;
}
