#include "image/frame_channel.h"

#include <bit>

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
