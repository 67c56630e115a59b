#include "shot/job_count.h"

#include <algorithm>

#include "base/machine.h"
#include "exr/exr_probe.h"

namespace deepglass {

namespace {

// Bytes a pixel of the data window takes in flight when a PNG (or a video's frame) is written: the stand-in
// storage's colour, depth and IDs, and the module's working image. Samples are decoded and the picture
// encoded a strip of rows at a time, which the frame's own bytes dwarf.
constexpr std::uint64_t PNG_PIXEL_BYTES = 24;
// Kept colour on its way through a display transform: RGBA as four floats.
constexpr std::uint64_t DISPLAY_COLOUR_PIXEL_BYTES = 16;
// For an EXR every channel is read, and written again (4 bytes a sample each way), besides the
// host's frame, the storage, the marker-colour copy and the working image.
constexpr std::uint64_t EXR_PIXEL_BYTES = 48;

// What a video's encoder holds a pixel, measured with Debian 12's FFmpeg on the 4K sample: FFV1
// zero-fills an output buffer of about 160 bytes a pixel once (whatever the bits or slices), x264
// keeps its look-ahead and reference frames, about 42.
constexpr std::uint64_t FFV1_ENCODER_PIXEL_BYTES = 160;
constexpr std::uint64_t H264_ENCODER_PIXEL_BYTES = 48;

} // namespace

std::uint64_t EncoderMemoryEstimate(const std::string& input, OutputFormat format, std::uint64_t readBudget)
{
    if (!IsVideo(format)) return 0;
    ExrReadLimits limits;
    limits.maxSampleBytes = readBudget;
    return ProbeExrSize(input, limits).dataPixels *
           (format == OutputFormat::MKV ? FFV1_ENCODER_PIXEL_BYTES : H264_ENCODER_PIXEL_BYTES);
}

std::uint64_t FrameMemoryEstimate(const std::string& input, OutputFormat format, std::uint64_t readBudget,
                                  bool displayColour)
{
    ExrReadLimits limits;
    limits.maxSampleBytes = readBudget;
    const ExrSizeFacts facts = ProbeExrSize(input, limits);
    const std::uint64_t working =
        format == OutputFormat::EXR
            ? facts.dataPixels * (8 * facts.channels + EXR_PIXEL_BYTES)
            : facts.dataPixels * (PNG_PIXEL_BYTES + (displayColour ? DISPLAY_COLOUR_PIXEL_BYTES : 0));
    return std::max(working, facts.sampleBytes);
}

int DefaultJobCount(std::size_t frames, std::uint64_t frameBytes, std::uint64_t budget)
{
    const std::uint64_t cores = Cores();
    std::uint64_t jobs = std::min<std::uint64_t>(cores, std::max<std::size_t>(frames, 1));
    if (budget > 0 && frameBytes > 0) jobs = std::min(jobs, std::max<std::uint64_t>(1, budget / frameBytes));
    return static_cast<int>(jobs);
}

int DecodeThreadCount(int jobs)
{
    const int cores = static_cast<int>(Cores());
    return jobs < cores ? cores : 0;
}

int FrameThreadCount(int jobs) { return std::max(1, static_cast<int>(Cores()) / std::max(jobs, 1)); }

} // namespace deepglass
