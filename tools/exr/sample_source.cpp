#include "exr/sample_source.h"

#include <algorithm>

#include "base/frame_memory.h"
#include "base/tool_error.h"

namespace deepglass {

void SampleSource::ReadLumaChroma(const PixelBox&, ReadScratch&, const RowSink&)
{
    throw ToolError("luminance-chroma colour is converted only as its file is read");
}

void HandOverHeld(const FrameChannel& stored, const PixelBox& from, std::size_t k, const PixelBox& window,
                  std::vector<std::uint32_t>& scratch, const SampleSource::RowSink& sink)
{
    const int left = std::max(from.minX, window.minX);
    const int right = std::min(from.maxX, window.maxX);
    const int top = std::max(from.minY, window.minY);
    const int bottom = std::min(from.maxY, window.maxY);
    if (left > right) return;
    const bool subsampled = stored.xSampling != 1 || stored.ySampling != 1;
    if (subsampled && scratch.size() < static_cast<std::size_t>(right - left + 1))
        scratch.resize(static_cast<std::size_t>(right - left + 1));
    for (int y = top; y <= bottom; ++y) {
        if (!subsampled) {
            sink(k, y - window.minY, left - window.minX, right - left + 1,
                 stored.samples.data() + (std::int64_t{y} - from.minY) * from.Width() + (left - from.minX));
            continue;
        }
        CopyRow(stored, from, y, left, right - left + 1, scratch.data());
        sink(k, y - window.minY, left - window.minX, right - left + 1, scratch.data());
    }
}

void HeldSamples::Read(const std::vector<ViewChannel>& channels, const PixelBox& window, ReadScratch& scratch,
                       const RowSink& sink)
{
    for (std::size_t k = 0; k < channels.size(); ++k) {
        const FrameChannel* stored = file.Stored(channels[k]);
        const PixelBox& from = file.parts[channels[k].part].frame.dataWindow;
        if (stored == nullptr || !HoldsSamples(*stored, from))
            throw ToolError("channel " + channels[k].name +
                            " was not read; it cannot be handed to the filter");
        HandOverHeld(*stored, from, k, window, scratch.rows, sink);
    }
}

ReadMemory HeldSamples::MemoryOfRead(const std::vector<ViewChannel>&, const PixelBox& window, bool) const
{
    // A row of a subsampled channel, its samples spread over their blocks.
    return {0, StripBytes(static_cast<std::uint64_t>(window.Width()), 1, 1)};
}

} // namespace deepglass
