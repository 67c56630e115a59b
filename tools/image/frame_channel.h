// One channel of a frame as the tool holds it, 32 bits a sample whatever its stored type, so that
// an output can keep the channels the filter does not touch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/pixel_box.h"

namespace deepglass {

enum class SampleType { UINT, HALF, FLOAT };

// The bytes of one sample as a file stores it.
constexpr std::uint64_t StoredBytes(SampleType type) { return type == SampleType::HALF ? 2 : 4; }

// A channel's samples over the data window, row-major, 32 bits each (HELD_SAMPLE_BYTES). UINT channels hold
// their values as they are; HALF and FLOAT channels hold the bits of a float (HALF converts to float and back
// exactly). A subsampled channel holds one sample per xSampling x ySampling pixels. A channel the reader was
// told to leave unread has no samples.
struct FrameChannel {
    std::string name;
    SampleType type = SampleType::FLOAT;
    std::vector<std::uint32_t> samples;
    int xSampling = 1;
    int ySampling = 1;

    float FloatAt(std::size_t index) const;
};

const char* SampleTypeName(SampleType type);
// "2 x 2", a channel's sampling for messages.
std::string SamplingText(int xSampling, int ySampling);

// Whether `channel` holds its samples over `window`, at its sampling (none when left unread).
bool HoldsSamples(const FrameChannel& channel, const PixelBox& window);
// Copies `count` pixels of row `y`, from column `x` on, of `channel` held over `window` (all of them
// within it), one sample a pixel: a subsampled channel's sample covers its whole block.
void CopyRow(const FrameChannel& channel, const PixelBox& window, int y, int x, int count,
             std::uint32_t* out);

} // namespace deepglass
