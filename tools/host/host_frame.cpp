#include "host/host_frame.h"

#include <bit>
#include <cmath>
#include <limits>

#include "cli/number_text.h"
#include "cli/tool_error.h"

namespace {

std::string PixelName(const ExrFrame& frame, std::size_t index)
{
    const std::size_t width = static_cast<std::size_t>(frame.Width());
    return "pixel (" + std::to_string(frame.dataWindow.minX + static_cast<std::int64_t>(index % width)) +
           ", " + std::to_string(frame.dataWindow.minY + static_cast<std::int64_t>(index / width)) + ")";
}

template <typename Id>
std::optional<std::vector<Id>> HostIdsOf(const ExrFrame& frame, const std::string& name)
{
    const FrameChannel* channel = frame.Find(name);
    if (channel == nullptr) return std::nullopt;
    constexpr std::uint32_t limit = std::numeric_limits<Id>::max();
    std::vector<Id> ids(channel->samples.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::uint32_t sample = channel->samples[i];
        if (!IdFits(sample, channel->type, limit))
            RefuseId(sample, channel->type, limit, name, PixelName(frame, i));
        ids[i] = static_cast<Id>(IdOf(sample, channel->type));
    }
    return ids;
}

} // namespace

void RefuseId(std::uint32_t sample, SampleType type, std::uint32_t limit, const std::string& name,
              const std::string& pixel)
{
    if (type != SampleType::UINT) {
        const float value = std::bit_cast<float>(sample);
        throw ToolError("channel " + name + " holds " + NumberText(value) + " at " + pixel +
                        "; IDs must be whole numbers from 0 to " + std::to_string(limit));
    }
    throw ToolError("channel " + name + " holds " + std::to_string(sample) + " at " + pixel +
                    ", which does not fit the host's " + (limit > 255 ? "16-bit" : "8-bit") +
                    " channel (0 to " + std::to_string(limit) + ")");
}

std::vector<BMM_Color_64> HostColourOf(const ExrFrame& frame, const std::array<std::string, 4>& names)
{
    const FrameChannel* red = frame.Find(names[0]);
    const FrameChannel* green = frame.Find(names[1]);
    const FrameChannel* blue = frame.Find(names[2]);
    const FrameChannel* alpha = frame.Find(names[3]);
    auto level = [](const FrameChannel* channel, std::size_t i, std::uint16_t missing) {
        return channel != nullptr ? ColourLevel(channel->FloatAt(i)) : missing;
    };
    std::vector<BMM_Color_64> colour(frame.PixelCount());
    for (std::size_t i = 0; i < colour.size(); ++i)
        colour[i] = {level(red, i, 0), level(green, i, 0), level(blue, i, 0), level(alpha, i, COLOUR_FULL)};
    return colour;
}

std::vector<float> HostDepthOf(const ExrFrame& frame, const std::string& name)
{
    const FrameChannel* channel = frame.Find(name);
    if (channel == nullptr)
        throw ToolError("no depth channel " + name + " (the frame has " + ChannelListText(frame) +
                        "; name another with --depth)");
    if (channel->type == SampleType::UINT)
        throw ToolError("the depth channel " + name + " holds UINT samples; depth must be HALF or FLOAT");
    std::vector<float> depth(channel->samples.size());
    for (std::size_t i = 0; i < depth.size(); ++i) depth[i] = channel->FloatAt(i);
    return depth;
}

std::optional<std::vector<std::uint8_t>> HostMaterialIdsOf(const ExrFrame& frame, const std::string& name)
{
    return HostIdsOf<std::uint8_t>(frame, name);
}

std::optional<std::vector<std::uint16_t>> HostObjectIdsOf(const ExrFrame& frame, const std::string& name)
{
    return HostIdsOf<std::uint16_t>(frame, name);
}

HostFrame HostFrameOf(const ExrFrame& frame, const ChannelChoice& choice, const BackgroundRule& background,
                      std::uint32_t channels)
{
    HostFrame host;
    host.width = frame.Width();
    host.height = frame.Height();
    host.colour = HostColourOf(frame, choice.PresentColour());
    host.depth = HostDepthOf(frame, choice.depth);
    ApplyBackground(background, host.colour, host.depth);
    if (channels & CHANNEL_MATERIAL_ID) host.materialIds = HostMaterialIdsOf(frame, choice.material);
    if (channels & CHANNEL_OBJECT_ID) host.objectIds = HostObjectIdsOf(frame, choice.object);
    return host;
}

std::string ChannelListText(const ExrFrame& frame)
{
    if (frame.channels.empty()) return "no channels";
    std::string text;
    for (const FrameChannel& channel : frame.channels) {
        if (!text.empty()) text += ", ";
        text += channel.name + " (" + SampleTypeName(channel.type) + ")";
    }
    return text;
}
