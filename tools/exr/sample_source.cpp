#include "exr/sample_source.h"

#include <algorithm>

#include "base/tool_error.h"

void RequireWholeChannels(const ExrFile& file, const std::vector<ViewChannel>& channels, bool held)
{
    for (const ViewChannel& channel : channels) {
        const FrameChannel* stored = file.Stored(channel);
        const PixelBox& part = file.parts[channel.part].frame.dataWindow;
        const bool whole =
            stored != nullptr && stored->xSampling == 1 && stored->ySampling == 1 &&
            (!held || stored->samples.size() == static_cast<std::size_t>(part.Width() * part.Height()));
        if (!whole)
            throw ToolError("channel " + channel.name +
                            (held ? " is subsampled or was not read" : " is subsampled") +
                            "; it cannot be handed to the filter");
    }
}

void HeldSamples::Read(const std::vector<ViewChannel>& channels, const PixelBox& window,
                       std::vector<std::uint32_t>&, const RowSink& sink)
{
    RequireWholeChannels(file, channels, true);
    for (std::size_t k = 0; k < channels.size(); ++k) {
        const std::vector<std::uint32_t>& samples = file.Stored(channels[k])->samples;
        const PixelBox& from = file.parts[channels[k].part].frame.dataWindow;
        const int left = std::max(from.minX, window.minX);
        const int right = std::min(from.maxX, window.maxX);
        for (int y = std::max(from.minY, window.minY); y <= std::min(from.maxY, window.maxY) && left <= right;
             ++y)
            sink(k, y - window.minY, left - window.minX, right - left + 1,
                 samples.data() + (std::int64_t{y} - from.minY) * from.Width() + (left - from.minX));
    }
}
