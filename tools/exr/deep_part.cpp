#include "exr/deep_part.h"

#include <ImfDeepFrameBuffer.h>
#include <ImfDeepScanLineInputPart.h>
#include <ImfDeepTiledInputPart.h>
#include <ImfHeader.h>
#include <ImfMultiPartInputFile.h>

#include <algorithm>
#include <cstdint>
#include <numeric>

#include "base/exr_read_failure.h"
#include "base/frame_memory.h"
#include "base/number_text.h"

namespace deepglass {

namespace {

// Rows of a scanline part decoded at a time: a whole number of every compression's line blocks.
constexpr int DEEP_BAND_ROWS = 64;
// More than any of the compressions a deep part may use packs its samples (deflate at most about
// 1032 to 1), so that sample counts beyond it cannot be what the file holds.
constexpr std::uint64_t MOST_PACKING = 1100;

// A slice base for OpenEXR, which finds pixel (x, y) at base + x * xStride + y * yStride.
char* BaseFor(void* first, int x0, int y0, std::size_t xStride, std::size_t yStride)
{
    return reinterpret_cast<char*>(reinterpret_cast<std::intptr_t>(first) -
                                   static_cast<std::intptr_t>(x0) * static_cast<std::intptr_t>(xStride) -
                                   static_cast<std::intptr_t>(y0) * static_cast<std::intptr_t>(yStride));
}

// The slice of every pixel's sample count over the frame's data window.
Imf::Slice CountSlice(std::vector<std::uint32_t>& counts, const ExrFrame& frame)
{
    const std::size_t rowBytes = sizeof(std::uint32_t) * static_cast<std::size_t>(frame.Width());
    return Imf::Slice(
        Imf::UINT,
        BaseFor(counts.data(), frame.dataWindow.minX, frame.dataWindow.minY, sizeof(std::uint32_t), rowBytes),
        sizeof(std::uint32_t), rowBytes);
}

std::string SamplesText(std::uint64_t samples, std::uint64_t bytes)
{
    return std::to_string(samples) + " samples (" + MemoryText(bytes) + ")";
}

} // namespace

struct DeepPartReader::Parts {
    std::unique_ptr<Imf::DeepScanLineInputPart> scanline;
    std::unique_ptr<Imf::DeepTiledInputPart> tiled;

    // Reads into `buffer` the sample counts of rows `y0` to `y1` (whole rows of tiles of a tiled
    // part, whose first row is `top`), and with `samples` their samples too. OpenEXR takes a new
    // frame buffer's counts as unknown until they are read into it, so they are read each time.
    void Read(const Imf::DeepFrameBuffer& buffer, int top, int y0, int y1, bool samples)
    {
        if (tiled) {
            const int rows = static_cast<int>(tiled->tileYSize());
            const int first = (y0 - top) / rows, last = (y1 - top) / rows, across = tiled->numXTiles(0) - 1;
            tiled->setFrameBuffer(buffer);
            tiled->readPixelSampleCounts(0, across, first, last);
            if (samples) tiled->readTiles(0, across, first, last);
        } else {
            scanline->setFrameBuffer(buffer);
            scanline->readPixelSampleCounts(y0, y1);
            if (samples) scanline->readPixels(y0, y1);
        }
    }
};

DeepPartReader::DeepPartReader(Imf::MultiPartInputFile& file, int part, const ExrFrame& frame,
                               std::uint64_t budget, std::uint64_t fileBytes)
    : frame(frame), parts(std::make_unique<Parts>()), plan(frame.channels)
{
    const PixelBox& window = frame.dataWindow;
    sampleCounts.assign(frame.PixelCount(), 0);
    if (frame.tiled) {
        parts->tiled = std::make_unique<Imf::DeepTiledInputPart>(file, part);
        bandRows = static_cast<int>(parts->tiled->tileYSize());
    } else {
        parts->scanline = std::make_unique<Imf::DeepScanLineInputPart>(file, part);
        bandRows = DEEP_BAND_ROWS;
    }
    Imf::DeepFrameBuffer buffer;
    buffer.insertSampleCountSlice(CountSlice(sampleCounts, frame));
    parts->Read(buffer, window.minY, window.minY, window.maxY, false);
    for (std::uint32_t count : sampleCounts) {
        counts.total += count;
        counts.most = std::max(counts.most, count);
        counts.empty += count == 0 ? 1 : 0;
    }
    std::uint64_t storedBytes = 0;
    for (const FrameChannel& channel : frame.channels) storedBytes += StoredBytes(channel.type);
    const std::uint64_t held = counts.total * HELD_SAMPLE_BYTES * frame.channels.size();
    if (fileBytes != 0 && counts.total * storedBytes > fileBytes * MOST_PACKING)
        throw ExrReadFailure("damaged EXR file: its sample counts claim " + SamplesText(counts.total, held) +
                             ", more than its " + MemoryText(fileBytes) + " could hold");
    if (budget != 0 && held > budget)
        throw ExrReadFailure("its sample counts claim " + SamplesText(counts.total, held) +
                             ", more than the " + MemoryText(budget) +
                             " one frame may take (--max-memory sets the budget)");
}

DeepPartReader::~DeepPartReader() = default;

int DeepPartReader::ReadBand(int y0, const std::vector<int>& wanted, std::uint32_t* out, std::size_t stride)
{
    const PixelBox& window = frame.dataWindow;
    const int y1 = static_cast<int>(std::min<std::int64_t>(window.maxY, std::int64_t{y0} + bandRows - 1));
    const std::size_t width = static_cast<std::size_t>(frame.Width());
    const std::size_t first = static_cast<std::size_t>(y0 - window.minY) * width;
    const std::size_t pixels = static_cast<std::size_t>(y1 - y0 + 1) * width;
    const std::uint32_t* bandCounts = sampleCounts.data() + first;
    const std::uint64_t bandSamples = std::accumulate(bandCounts, bandCounts + pixels, std::uint64_t{0});
    const std::vector<int> needed = plan.Needed(wanted);
    samples.resize(bandSamples * needed.size());
    pointers.resize(pixels * needed.size());

    Imf::DeepFrameBuffer buffer;
    buffer.insertSampleCountSlice(CountSlice(sampleCounts, frame));
    for (std::size_t j = 0; j < needed.size(); ++j) {
        std::uint32_t* next = samples.data() + j * bandSamples;
        std::uint32_t** section = pointers.data() + j * pixels;
        for (std::size_t p = 0; p < pixels; ++p) {
            section[p] = next;
            next += bandCounts[p];
        }
        const FrameChannel& channel = frame.channels[needed[j]];
        buffer.insert(channel.name, Imf::DeepSlice(channel.type == SampleType::UINT ? Imf::UINT : Imf::FLOAT,
                                                   BaseFor(section, window.minX, y0, sizeof(std::uint32_t*),
                                                           sizeof(std::uint32_t*) * width),
                                                   sizeof(std::uint32_t*), sizeof(std::uint32_t*) * width,
                                                   sizeof(std::uint32_t)));
    }
    parts->Read(buffer, window.minY, y0, y1, true);

    std::vector<const std::uint32_t*> pixelSamples(frame.channels.size(), nullptr);
    for (std::size_t p = 0; p < pixels; ++p) {
        for (std::size_t j = 0; j < needed.size(); ++j) pixelSamples[needed[j]] = pointers[j * pixels + p];
        plan.Flatten(bandCounts[p], pixelSamples.data(), wanted, out + p, stride, pixelScratch);
    }
    return y1;
}

void DeepPartReader::ReadRows(int top, int bottom, const std::vector<int>& wanted,
                              std::vector<std::uint32_t>& scratch, const RowSink& row)
{
    const PixelBox& window = frame.dataWindow;
    const std::size_t width = static_cast<std::size_t>(frame.Width());
    const std::size_t bandSize = width * static_cast<std::size_t>(bandRows);
    if (scratch.size() < bandSize * wanted.size()) scratch.resize(bandSize * wanted.size());
    for (int y0 = window.minY + (top - window.minY) / bandRows * bandRows; y0 <= bottom;) {
        const int y1 = ReadBand(y0, wanted, scratch.data(), bandSize);
        for (int y = std::max(y0, top); y <= std::min(y1, bottom); ++y)
            for (std::size_t k = 0; k < wanted.size(); ++k)
                row(k, y, scratch.data() + k * bandSize + static_cast<std::size_t>(y - y0) * width);
        if (y1 == window.maxY) break;
        y0 = y1 + 1;
    }
}

} // namespace deepglass
