#include "exr/exr_file.h"

#include <algorithm>
#include <set>

#include "base/list_text.h"
#include "base/tool_error.h"
#include "base/utf8_text.h"

namespace deepglass {

std::vector<std::string> ExrFile::Views() const
{
    if (!multiView.empty()) return multiView;
    std::vector<std::string> views;
    for (const ExrPart& part : parts)
        if (!part.view.empty() && std::find(views.begin(), views.end(), part.view) == views.end())
            views.push_back(part.view);
    return views;
}

std::string ExrFile::DefaultView() const
{
    const std::vector<std::string> views = Views();
    return views.empty() ? "" : views.front();
}

std::vector<ViewChannel> ExrFile::ChannelsOfView(const std::string& view) const
{
    std::vector<ViewChannel> chosen;
    std::set<std::string> names;
    for (const ViewChannel& channel : channels) {
        if (!channel.view.empty() && channel.view != view) continue;
        ViewChannel& taken = chosen.emplace_back(channel);
        if (!names.insert(taken.name).second && !parts[channel.part].name.empty()) {
            taken.name = parts[channel.part].name + "." + taken.name;
            names.insert(taken.name);
        }
    }
    return chosen;
}

const FrameChannel* ExrFile::Stored(const ViewChannel& channel) const
{
    if (channel.part < 0 || static_cast<std::size_t>(channel.part) >= parts.size()) return nullptr;
    return parts[channel.part].frame.Find(channel.storedName);
}

std::vector<std::string> SelectViews(const ExrFile& file, const std::string& wanted)
{
    const std::vector<std::string> views = file.Views();
    if (wanted.empty()) return {file.DefaultView()};
    if (wanted == "all") return views.empty() ? std::vector<std::string>{""} : views;
    if (std::find(views.begin(), views.end(), wanted) != views.end()) return {wanted};
    throw ToolError("no view " + wanted +
                    (views.empty() ? " (the file has a single unnamed view)"
                                   : " (the file has the views " + ListText(views) + ")"));
}

ExrFrame GatherFrame(const ExrFile& file, const std::vector<ViewChannel>& view,
                     const std::vector<std::string>& names, const std::string& windowChannel)
{
    auto find = [&](const std::string& name) -> const ViewChannel* {
        for (const ViewChannel& channel : view)
            if (channel.name == name) return &channel;
        return nullptr;
    };
    const ViewChannel* windowSource = find(windowChannel);
    const ExrFrame& windowPart = file.parts.at(windowSource != nullptr ? windowSource->part : 0).frame;
    ExrFrame frame;
    frame.dataWindow = windowPart.dataWindow;
    frame.displayWindow = windowPart.displayWindow;
    frame.tiled = windowPart.tiled;
    frame.header = windowPart.header;
    const PixelBox& to = frame.dataWindow;
    for (const std::string& name : names) {
        const ViewChannel* source = find(name);
        if (source == nullptr || frame.Find(name) != nullptr) continue;
        const FrameChannel* stored = file.Stored(*source);
        const PixelBox& from = file.parts[source->part].frame.dataWindow;
        if (stored == nullptr || !HoldsSamples(*stored, from))
            throw ToolError("channel " + name + " was not read; it cannot be handed to the filter");
        FrameChannel& placed = frame.channels.emplace_back();
        placed.name = name;
        placed.type = stored->type;
        if (from == to && stored->xSampling == 1 && stored->ySampling == 1) {
            placed.samples = stored->samples;
            continue;
        }
        placed.samples.assign(frame.PixelCount(), 0);
        const int fromX = std::max(from.minX, to.minX);
        const int toX = std::min(from.maxX, to.maxX);
        for (int y = std::max(from.minY, to.minY); y <= std::min(from.maxY, to.maxY) && fromX <= toX; ++y)
            CopyRow(*stored, from, y, fromX, toX - fromX + 1,
                    placed.samples.data() + (std::int64_t{y} - to.minY) * to.Width() + (fromX - to.minX));
    }
    std::sort(frame.channels.begin(), frame.channels.end(),
              [](const FrameChannel& a, const FrameChannel& b) { return a.name < b.name; });
    return frame;
}

std::string ViewChannelListText(const std::vector<ViewChannel>& channels)
{
    std::vector<ViewChannel> sorted = channels;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const ViewChannel& a, const ViewChannel& b) { return a.name < b.name; });
    std::vector<std::string> texts;
    for (const ViewChannel& channel : sorted)
        texts.push_back(
            NameText(channel.name) + " (" + SampleTypeName(channel.type) +
            (channel.Subsampled() ? ", " + SamplingText(channel.xSampling, channel.ySampling) : "") + ")");
    return texts.empty() ? "no channels" : ListText(texts);
}

} // namespace deepglass
