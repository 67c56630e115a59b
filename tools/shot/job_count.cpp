#include "shot/job_count.h"

#include <algorithm>

#include "base/frame_memory.h"
#include "base/machine.h"
#include "exr/exr_input.h"
#include "exr/file_memory.h"

namespace deepglass {

std::uint64_t EncoderMemoryEstimate(const std::string& input, OutputFormat format, std::uint64_t readBudget)
{
    if (!IsVideo(format)) return 0;
    ExrReadLimits limits;
    limits.maxSampleBytes = readBudget;
    const ExrInput probe(input, limits);
    const ExrFile& layout = probe.Layout();
    if (layout.parts.empty()) return 0;
    // A video's picture is the display window.
    const PixelBox& display = layout.parts[0].frame.displayWindow;
    return VideoEncoderMemory(static_cast<std::uint64_t>(display.Width()) *
                                  static_cast<std::uint64_t>(display.Height()),
                              format == OutputFormat::MKV);
}

std::uint64_t FrameMemoryEstimate(const std::string& input, OutputFormat format, std::uint64_t readBudget,
                                  bool displayColour)
{
    ExrReadLimits limits;
    limits.maxSampleBytes = readBudget;
    const ExrInput probe(input, limits);
    const ExrFile& layout = probe.Layout();
    if (layout.parts.empty()) return 0;
    // The first part's frame with every channel of it read, both ID channels held and the rows of
    // a fixed scale below it, on one thread: more than any view of it takes.
    const ExrFrame& first = layout.parts[0].frame;
    std::vector<ViewChannel> channels;
    for (const ViewChannel& channel : layout.channels)
        if (channel.part == 0) channels.push_back(channel);
    const ReadMemory read = probe.MemoryOfRead(channels, first.dataWindow, false);
    FrameShape shape;
    shape.width = static_cast<std::uint64_t>(first.Width());
    shape.height = static_cast<std::uint64_t>(first.Height());
    shape.extraRows = 2;
    shape.materialIds = shape.objectIds = true;
    shape.readBytes = read.held + read.strip;
    AddWholeFile(shape, layout, std::max<std::size_t>(layout.Views().size(), 1));
    // Never below what its samples claim of every read's budget.
    const std::uint64_t claimed = shape.heldSamples * HELD_SAMPLE_BYTES;
    if (format == OutputFormat::EXR) return std::max(claimed, FrameMemory(FrameRoute::EXR, shape));
    // A video's frame is held as a picture is, besides the encoder's own (EncoderMemoryEstimate).
    // The picture at its largest: RGBA of 16 bits, deflated at the most thorough level.
    shape.displayColour = displayColour;
    shape.pictureWidth = static_cast<std::uint64_t>(first.displayWindow.Width());
    shape.pictureHeight = static_cast<std::uint64_t>(first.displayWindow.Height());
    shape.pixelBytes = 8;
    shape.level = 12;
    // A frame whose channels are all whole goes to the filter in strips (GoesInStrips), its bands
    // of rows as many as a picture's segments of every core, and one filter a core.
    const bool subsampled = std::any_of(channels.begin(), channels.end(),
                                        [](const ViewChannel& channel) { return channel.Subsampled(); });
    if (subsampled) return std::max(claimed, FrameMemory(FrameRoute::PNG, shape));
    const std::uint64_t cores = Cores();
    const std::uint64_t segmentRows =
        std::max<std::uint64_t>(1, PNG_SEGMENT_BYTES / (shape.pictureWidth * shape.pixelBytes + 1));
    shape.bandRows =
        std::max<std::uint64_t>(STRIP_ROWS * cores, segmentRows * PNG_BATCH_SEGMENTS * cores + 1);
    const ReadMemory band = probe.MemoryOfRead(
        channels,
        {first.dataWindow.minX, first.dataWindow.minY, first.dataWindow.maxX,
         first.dataWindow.minY + static_cast<int>(std::min<std::uint64_t>(shape.bandRows, shape.height)) - 1},
        false);
    shape.readBytes = band.held + band.strip;
    shape.extraRows = 0;
    shape.stripRows = static_cast<std::uint64_t>(StripRowsOf(shape.width));
    shape.rangeRows = 2;
    shape.percentiles = true;
    shape.lanes = shape.encoders = cores;
    return std::max(claimed, FrameMemory(FrameRoute::STRIPS, shape));
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
