#include "image/frame_channel.h"

#include <algorithm>
#include <bit>

namespace deepglass {

float FrameChannel::FloatAt(std::size_t index) const
{
    const std::uint32_t word = samples[index];
    return type == SampleType::UINT ? static_cast<float>(word) : std::bit_cast<float>(word);
}

const char* SampleTypeName(SampleType type)
{
    switch (type) {
    case SampleType::UINT: return "UINT";
    case SampleType::HALF: return "HALF";
    default: return "FLOAT";
    }
}

std::string SamplingText(int xSampling, int ySampling)
{
    return std::to_string(xSampling) + " x " + std::to_string(ySampling);
}

bool HoldsSamples(const FrameChannel& channel, const PixelBox& window)
{
    return channel.samples.size() == static_cast<std::size_t>(window.Width() / channel.xSampling) *
                                         static_cast<std::size_t>(window.Height() / channel.ySampling);
}

void CopyRow(const FrameChannel& channel, const PixelBox& window, int y, int x, int count, std::uint32_t* out)
{
    // A lawful file's data window starts at a multiple of each channel's sampling, so a pixel's
    // sample is the one its offset into the window, divided by the sampling, names.
    const std::int64_t columns = window.Width() / channel.xSampling;
    const std::uint32_t* row =
        channel.samples.data() + (std::int64_t{y} - window.minY) / channel.ySampling * columns;
    if (channel.xSampling == 1) {
        std::copy_n(row + (x - window.minX), count, out);
        return;
    }
    for (int i = 0; i < count; ++i) out[i] = row[(std::int64_t{x} + i - window.minX) / channel.xSampling];
}

} // namespace deepglass
