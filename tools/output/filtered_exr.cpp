#include "output/filtered_exr.h"

#include <ImfMultiView.h>
#include <half.h>

#include <algorithm>
#include <bit>
#include <cmath>

#include "base/tool_error.h"
#include "image/level.h"

namespace deepglass {

namespace {

// A 16-bit level as a sample of `type`.
std::uint32_t SampleOf(std::uint16_t level, SampleType type)
{
    const float value = static_cast<float>(level) / static_cast<float>(LEVEL_FULL);
    switch (type) {
    case SampleType::HALF: return std::bit_cast<std::uint32_t>(static_cast<float>(half(value)));
    case SampleType::UINT: return static_cast<std::uint32_t>(std::lround(value));
    default: return std::bit_cast<std::uint32_t>(value);
    }
}

bool ViewHas(const ExrFile& file, const FilteredView& filtered, int component)
{
    for (const ViewChannel& channel : file.ChannelsOfView(filtered.view))
        if (channel.name == filtered.names[component]) return true;
    return false;
}

// Where the view keeps colour channel `name`, adding the channel when there is none.
FrameChannel& ColourChannel(ExrFile& file, const FilteredView& filtered, int component, int& part)
{
    const std::string& name = filtered.names[component];
    for (const ViewChannel& channel : file.ChannelsOfView(filtered.view)) {
        if (channel.name != name) continue;
        part = channel.part;
        return *std::find_if(file.parts[part].frame.channels.begin(), file.parts[part].frame.channels.end(),
                             [&](const FrameChannel& held) { return held.name == channel.storedName; });
    }
    part = filtered.windowPart;
    std::string stored = name;
    if (!file.multiView.empty()) {
        const auto at = std::find(file.multiView.begin(), file.multiView.end(), filtered.view);
        stored = Imf::insertViewName(name, file.multiView, static_cast<int>(at - file.multiView.begin()));
    }
    ExrFrame& frame = file.parts[part].frame;
    const float kept = component == 3 ? 1.0f : 0.0f;
    FrameChannel added{stored, SampleType::HALF,
                       std::vector<std::uint32_t>(frame.PixelCount(), std::bit_cast<std::uint32_t>(kept))};
    file.channels.push_back({name, file.multiView.empty() ? file.parts[part].view : filtered.view, part,
                             stored, SampleType::HALF});
    const auto at = std::find_if(frame.channels.begin(), frame.channels.end(),
                                 [&](const FrameChannel& held) { return held.name > stored; });
    return *frame.channels.insert(at, std::move(added));
}

} // namespace

void StoreFilteredColour(ExrFile& written, const FilteredView& filtered, std::vector<std::string>& warnings)
{
    const std::vector<bool>& rewritten = *filtered.rewritten;
    if (std::find(rewritten.begin(), rewritten.end(), true) == rewritten.end()) return;
    const PixelBox& from = filtered.window;
    std::size_t uncovered = 0;
    for (int component = 0; component < 4; ++component) {
        const bool chroma = filtered.lumaChroma && (component == 1 || component == 2);
        if (chroma && !ViewHas(written, filtered, component)) continue;
        int part = 0;
        FrameChannel& channel = ColourChannel(written, filtered, component, part);
        const PixelBox& to = written.parts[part].frame.dataWindow;
        // A subsampled channel has one sample at each pixel whose coordinates its sampling divides
        // (the data window's corner among them): that sample takes the colour written at its own
        // pixel, and the other pixels of its block have no sample to take theirs.
        const int xs = channel.xSampling;
        const int ys = channel.ySampling;
        const std::int64_t columns = to.Width() / xs;
        if (channel.samples.size() != static_cast<std::size_t>(columns * (to.Height() / ys)))
            throw ToolError("channel " + channel.name +
                            " was not read; its filtered colour cannot be stored");
        if (xs != 1 || ys != 1)
            warnings.push_back("channel " + channel.name + " is stored at " + std::to_string(xs) + " x " +
                               std::to_string(ys) +
                               " sampling: each of its samples takes the filtered colour of the pixel it "
                               "stands at");
        for (std::size_t i = 0; i < rewritten.size(); ++i) {
            if (!rewritten[i]) continue;
            const std::int64_t x = from.minX + static_cast<std::int64_t>(i % from.Width());
            const std::int64_t y = from.minY + static_cast<std::int64_t>(i / from.Width());
            if (x < to.minX || x > to.maxX || y < to.minY || y > to.maxY) {
                ++uncovered;
                continue;
            }
            if (x % xs != 0 || y % ys != 0) continue;
            const BMM_Color_64& pixel = filtered.colour[i];
            const std::uint16_t levels[] = {pixel.r, pixel.g, pixel.b, pixel.a};
            channel.samples[static_cast<std::size_t>((y - to.minY) / ys * columns + (x - to.minX) / xs)] =
                SampleOf(chroma ? 0 : levels[component], channel.type);
        }
    }
    if (uncovered > 0)
        warnings.push_back(
            std::to_string(uncovered) +
            " rewritten samples lie outside the data window of their colour channel's part and "
            "are not stored");
}

} // namespace deepglass
