#include "shot/job_count.h"

#include <unistd.h>

#include <algorithm>
#include <thread>

#include "files/exr_probe.h"

namespace {

// Bytes a pixel of the data window takes in flight, over the 4 bytes of each stored channel: the
// host's colour and depth, the stand-in storage's copy, the module's working image and the
// picture being written.
constexpr std::uint64_t DATA_PIXEL_BYTES = 48;
// A PNG's display-window picture, 16-bit RGBA.
constexpr std::uint64_t DISPLAY_PIXEL_BYTES = 8;

std::uint64_t PhysicalMemory()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0
               ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize)
               : 0;
}

} // namespace

std::uint64_t FrameMemoryEstimate(const std::string& input, OutputFormat format)
{
    const ExrSizeFacts facts = ProbeExrSize(input);
    std::uint64_t perPixel = 4 * facts.channels + DATA_PIXEL_BYTES;
    if (format == OutputFormat::EXR) perPixel += 4 * facts.channels; // the written copy of every channel
    return facts.dataPixels * perPixel +
           (format == OutputFormat::PNG ? facts.displayPixels * DISPLAY_PIXEL_BYTES : 0);
}

int DefaultJobCount(std::size_t frames, std::uint64_t frameBytes)
{
    const std::uint64_t cores = std::max(1u, std::thread::hardware_concurrency());
    std::uint64_t jobs = std::min<std::uint64_t>(cores, std::max<std::size_t>(frames, 1));
    const std::uint64_t budget = PhysicalMemory() / 2;
    if (budget > 0 && frameBytes > 0) jobs = std::min(jobs, std::max<std::uint64_t>(1, budget / frameBytes));
    return static_cast<int>(jobs);
}
