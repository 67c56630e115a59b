#include "files/deep_part.h"

#include <ImfDeepFrameBuffer.h>
#include <ImfDeepScanLineInputPart.h>
#include <ImfDeepTiledInputPart.h>
#include <ImfHeader.h>
#include <ImfMultiPartInputFile.h>

#include <algorithm>
#include <cstdint>
#include <numeric>

#include "base/number_text.h"
#include "files/exr_read_failure.h"

namespace {

// Rows of a scanline part decoded at a time: a whole number of every compression's line blocks.
constexpr int DEEP_BAND_ROWS = 64;
// The reader holds every sample in 32 bits, whatever its stored type.
constexpr std::uint64_t HELD_SAMPLE_BYTES = 4;
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

std::string SamplesText(std::uint64_t samples, std::uint64_t bytes)
{
    return std::to_string(samples) + " samples (" + MemoryText(bytes) + ")";
}

} // namespace

struct DeepPartReader::Parts {
    std::unique_ptr<Imf::DeepScanLineInputPart> scanline;
    std::unique_ptr<Imf::DeepTiledInputPart> tiled;
};

DeepPartReader::DeepPartReader(Imf::MultiPartInputFile& file, int part, const ExrFrame& frame,
                               std::uint64_t budget, std::uint64_t fileBytes)
    : frame(frame), parts(std::make_unique<Parts>()), plan(frame.channels)
{
    const PixelBox& window = frame.dataWindow;
    const std::size_t width = static_cast<std::size_t>(frame.Width());
    sampleCounts.assign(frame.PixelCount(), 0);
    Imf::DeepFrameBuffer buffer;
    buffer.insertSampleCountSlice(Imf::Slice(Imf::UINT,
                                             BaseFor(sampleCounts.data(), window.minX, window.minY,
                                                     sizeof(std::uint32_t), sizeof(std::uint32_t) * width),
                                             sizeof(std::uint32_t), sizeof(std::uint32_t) * width));
    if (frame.tiled) {
        parts->tiled = std::make_unique<Imf::DeepTiledInputPart>(file, part);
        bandRows = static_cast<int>(parts->tiled->tileYSize());
        parts->tiled->setFrameBuffer(buffer);
        parts->tiled->readPixelSampleCounts(0, parts->tiled->numXTiles(0) - 1, 0,
                                            parts->tiled->numYTiles(0) - 1);
    } else {
        parts->scanline = std::make_unique<Imf::DeepScanLineInputPart>(file, part);
        bandRows = DEEP_BAND_ROWS;
        parts->scanline->setFrameBuffer(buffer);
        parts->scanline->readPixelSampleCounts(window.minY, window.maxY);
    }
    for (std::uint32_t count : sampleCounts) {
        counts.total += count;
        counts.most = std::max(counts.most, count);
        counts.empty += count == 0 ? 1 : 0;
    }
    std::uint64_t storedBytes = 0;
    for (const FrameChannel& channel : frame.channels)
        storedBytes += channel.type == SampleType::HALF ? 2 : 4;
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
    buffer.insertSampleCountSlice(Imf::Slice(Imf::UINT,
                                             BaseFor(sampleCounts.data(), window.minX, window.minY,
                                                     sizeof(std::uint32_t), sizeof(std::uint32_t) * width),
                                             sizeof(std::uint32_t), sizeof(std::uint32_t) * width));
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
    // OpenEXR takes a new frame buffer's counts as unknown until they are read into it again;
    // they are what was read before, as the file holds them.
    if (parts->tiled) {
        const int row = (y0 - window.minY) / bandRows;
        const int last = parts->tiled->numXTiles(0) - 1;
        parts->tiled->setFrameBuffer(buffer);
        parts->tiled->readPixelSampleCounts(0, last, row, row);
        parts->tiled->readTiles(0, last, row, row);
    } else {
        parts->scanline->setFrameBuffer(buffer);
        parts->scanline->readPixelSampleCounts(y0, y1);
        parts->scanline->readPixels(y0, y1);
    }

    std::vector<const std::uint32_t*> pixelSamples(frame.channels.size(), nullptr);
    std::vector<std::uint32_t> flat(wanted.size());
    for (std::size_t p = 0; p < pixels; ++p) {
        for (std::size_t j = 0; j < needed.size(); ++j) pixelSamples[needed[j]] = pointers[j * pixels + p];
        plan.Flatten(bandCounts[p], pixelSamples.data(), wanted, flat.data(), scratch);
        for (std::size_t k = 0; k < wanted.size(); ++k) out[k * stride + p] = flat[k];
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
