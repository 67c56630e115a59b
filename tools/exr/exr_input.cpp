#include "exr/exr_input.h"

#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputPart.h>
#include <ImfMultiPartInputFile.h>
#include <ImfRgbaFile.h>
#include <ImfStdIO.h>

#include <algorithm>
#include <bit>
#include <cstdint>

#include "base/frame_memory.h"
#include "base/tool_error.h"
#include "chunks/flat_chunks.h"
#include "exr/deep_part.h"
#include "exr/exr_layout.h"
#include "exr/exr_reader.h"

namespace deepglass {

namespace {

// Rows OpenEXR's RGBA interface holds while it reconstructs luminance-chroma colour (its filter's
// taps and rows in progress), each a little wider than the frame.
constexpr std::uint64_t LUMA_CHROMA_ROWS = 33;
constexpr std::uint64_t LUMA_CHROMA_TAPS = 27;
// A pixel as OpenEXR's RGBA interface hands it over: four halves.
constexpr std::uint64_t RGBA_PIXEL_BYTES = 8;

// Rows of a strip of `rows` rows read STRIP_ROWS at a time.
std::uint64_t StripRows(int top, int bottom)
{
    return static_cast<std::uint64_t>(std::min<std::int64_t>(STRIP_ROWS, std::int64_t{bottom} - top + 1));
}

} // namespace

struct ExrInput::Open {
    std::unique_ptr<std::ifstream> file;
    std::unique_ptr<Imf::StdIFStream> stream;
    std::unique_ptr<Imf::MultiPartInputFile> exr;
    // A deep part's reader, made when the part is first read: its sample counts are read once.
    std::vector<std::unique_ptr<DeepPartReader>> deep;
};

ExrInput::ExrInput(const std::string& path, const ExrReadLimits& limits, int threads)
    : path(path), open(std::make_unique<Open>()), limits(limits), threads(std::max(threads, 1))
{
    open->file = OpenInputFile(path);
    const std::uint64_t size = InputFileSize(path);
    fileBytes = size;
    GuardExrRead(path, [&] {
        open->stream = std::make_unique<Imf::StdIFStream>(*open->file, path.c_str());
        open->exr = OpenExrStream(*open->stream, size, limits);
        layout = ExrLayoutOf(*open->exr, limits, note);
    });
    open->deep.resize(layout.parts.size());
    exrThreads = ExrDecodeThreads();
}

ExrInput::~ExrInput() = default;

void ExrInput::ReadSubsampled(int part, const std::vector<ViewChannel>& channels,
                              std::vector<std::size_t>& taken, const PixelBox& window, const RowSink& sink)
{
    // Subsampled channels are few and small: each is decoded whole, then handed over a row at a
    // time with each sample covering its block. The others stay in `taken` for the strips.
    const PixelBox& from = layout.parts[part].frame.dataWindow;
    std::vector<std::pair<std::size_t, FrameChannel>> held;
    Imf::FrameBuffer buffer;
    for (auto at = taken.begin(); at != taken.end();) {
        const ViewChannel& channel = channels[*at];
        if (!channel.Subsampled()) {
            ++at;
            continue;
        }
        FrameChannel& samples = held.emplace_back(*at, FrameChannel{}).second;
        samples.type = channel.type;
        samples.xSampling = channel.xSampling;
        samples.ySampling = channel.ySampling;
        const std::size_t columns = static_cast<std::size_t>(from.Width() / channel.xSampling);
        samples.samples.assign(columns * static_cast<std::size_t>(from.Height() / channel.ySampling), 0);
        at = taken.erase(at);
    }
    if (held.empty()) return;
    for (auto& [k, samples] : held) {
        const std::size_t columns = static_cast<std::size_t>(from.Width() / samples.xSampling);
        buffer.insert(channels[k].storedName,
                      Imf::Slice::Make(
                          samples.type == SampleType::UINT ? Imf::UINT : Imf::FLOAT, samples.samples.data(),
                          Imath::Box2i({from.minX, from.minY}, {from.maxX, from.maxY}), sizeof(std::uint32_t),
                          sizeof(std::uint32_t) * columns, samples.xSampling, samples.ySampling));
    }
    Imf::InputPart input(*open->exr, part);
    input.setFrameBuffer(buffer);
    input.readPixels(from.minY, from.maxY);
    std::vector<std::uint32_t> row;
    for (const auto& [k, samples] : held) HandOverHeld(samples, from, k, window, row, sink);
}

void ExrInput::ReadFlat(int part, const std::vector<ViewChannel>& channels,
                        const std::vector<std::size_t>& taken, const PixelBox& window, ReadScratch& scratch,
                        const RowSink& sink)
{
    const PixelBox& from = layout.parts[part].frame.dataWindow;
    const int top = std::max(from.minY, window.minY);
    const int bottom = std::min(from.maxY, window.maxY);
    const int left = std::max(from.minX, window.minX);
    const int right = std::min(from.maxX, window.maxX);
    const int count = right - left + 1;
    Imf::InputPart input(*open->exr, part);
    const Imf::Header& header = open->exr->header(part);
    if (DecodesOwnChunks(header)) {
        std::vector<std::string> names;
        for (std::size_t i : taken) names.push_back(channels[i].storedName);
        ReadOwnChunks(input, header, names, top, bottom, left, right, threads, scratch.allowance,
                      scratch.rows, scratch.chunks, [&](std::size_t k, int y, const std::uint32_t* row) {
                          sink(taken[k], y - window.minY, left - window.minX, count, row);
                      });
        return;
    }
    // Every other compression is OpenEXR's to decode, a strip of rows at a time.
    const std::size_t width = static_cast<std::size_t>(from.Width());
    std::vector<std::uint32_t>& strip = scratch.rows;
    const std::size_t stripSize = width * static_cast<std::size_t>(StripRows(top, bottom));
    SizeScratch(strip, stripSize * taken.size());
    for (int y0 = top; y0 <= bottom; y0 += STRIP_ROWS) {
        const int y1 = std::min(bottom, y0 + STRIP_ROWS - 1);
        Imf::FrameBuffer buffer;
        for (std::size_t k = 0; k < taken.size(); ++k) {
            const ViewChannel& channel = channels[taken[k]];
            const Imf::PixelType type = channel.type == SampleType::UINT ? Imf::UINT : Imf::FLOAT;
            buffer.insert(channel.storedName,
                          Imf::Slice::Make(type, strip.data() + k * stripSize, {from.minX, y0}, from.Width(),
                                           y1 - y0 + 1, sizeof(std::uint32_t),
                                           sizeof(std::uint32_t) * width));
        }
        input.setFrameBuffer(buffer);
        input.readPixels(y0, y1);
        for (int y = y0; y <= y1; ++y)
            for (std::size_t k = 0; k < taken.size(); ++k)
                sink(taken[k], y - window.minY, left - window.minX, count,
                     strip.data() + k * stripSize + (y - y0) * width + (left - from.minX));
    }
}

void ExrInput::Read(const std::vector<ViewChannel>& channels, const PixelBox& window, ReadScratch& scratch,
                    const RowSink& sink)
{
    GuardExrRead(path, [&] {
        for (int part = 0; part < static_cast<int>(layout.parts.size()); ++part) {
            std::vector<std::size_t> taken; // indices into `channels` of this part's channels
            for (std::size_t i = 0; i < channels.size(); ++i)
                if (channels[i].part == part) taken.push_back(i);
            const PixelBox& from = layout.parts[part].frame.dataWindow;
            const int top = std::max(from.minY, window.minY);
            const int bottom = std::min(from.maxY, window.maxY);
            const int left = std::max(from.minX, window.minX);
            const int right = std::min(from.maxX, window.maxX);
            if (taken.empty() || top > bottom || left > right) continue;
            if (layout.parts[part].deep) {
                ExrPart& deepPart = layout.parts[part];
                std::unique_ptr<DeepPartReader>& deep = open->deep[part];
                if (!deep)
                    deep = std::make_unique<DeepPartReader>(*open->exr, part, deepPart.frame,
                                                            limits.maxSampleBytes, fileBytes);
                deepPart.deepCounts = deep->Counts();
                std::vector<int> wanted;
                for (std::size_t i : taken)
                    wanted.push_back(static_cast<int>(deepPart.frame.Find(channels[i].storedName) -
                                                      deepPart.frame.channels.data()));
                deep->ReadRows(top, bottom, wanted, scratch.rows,
                               [&](std::size_t k, int y, const std::uint32_t* row) {
                                   sink(taken[k], y - window.minY, left - window.minX, right - left + 1,
                                        row + (left - from.minX));
                               });
            } else {
                ReadSubsampled(part, channels, taken, window, sink);
                if (!taken.empty()) ReadFlat(part, channels, taken, window, scratch, sink);
            }
            if (!open->exr->partComplete(part))
                throw ExrReadFailure("incomplete EXR file: some of its pixels were never written");
        }
    });
}

ReadMemory ExrInput::MemoryOfRead(const std::vector<ViewChannel>& channels, const PixelBox& window,
                                  bool lumaChroma) const
{
    // As Read takes the parts: OpenEXR keeps its buffers for each part read while the file is
    // open; the strip and the decoding threads' chunks are the largest any part takes.
    ReadMemory memory;
    for (int part = 0; part < static_cast<int>(layout.parts.size()); ++part) {
        const ExrPart& held = layout.parts[part];
        const PixelBox& from = held.frame.dataWindow;
        const int top = std::max(from.minY, window.minY);
        const int bottom = std::min(from.maxY, window.maxY);
        const int left = std::max(from.minX, window.minX);
        const int right = std::min(from.maxX, window.maxX);
        std::size_t strips = 0;  // channels read a strip at a time
        std::uint64_t whole = 0; // subsampled channels, decoded whole
        for (const ViewChannel& channel : channels) {
            if (channel.part != part) continue;
            if (!channel.Subsampled() || held.deep)
                ++strips;
            else
                whole += StripBytes(static_cast<std::uint64_t>(from.Width() / channel.xSampling),
                                    static_cast<std::uint64_t>(from.Height() / channel.ySampling), 1);
        }
        if ((strips == 0 && whole == 0) || top > bottom || left > right) continue;
        memory.held += whole;
        const std::uint64_t width = static_cast<std::uint64_t>(from.Width());
        if (held.deep) {
            // Its sample counts, and a band of rows flattened; the samples themselves are held to
            // the budget by the deep reader.
            memory.held += width * static_cast<std::uint64_t>(from.Height()) * 4;
            memory.strip = std::max(memory.strip, StripBytes(width, StripRows(top, bottom), strips));
            continue;
        }
        memory.held += OpenExrBufferBytes(held.chunkBytes, exrThreads);
        const Imf::Header& header = open->exr->header(part);
        if (DecodesOwnChunks(header)) {
            memory.strip = std::max(memory.strip, OwnChunksBytes(header, strips, top, bottom, left, right));
            continue;
        }
        memory.strip = std::max(memory.strip, StripBytes(width, StripRows(top, bottom), strips));
        // Tiles are read a row of them at a time, which OpenEXR keeps for the next read.
        if (held.frame.tiled && header.hasTileDescription())
            memory.held += StripBytes(width, header.tileDescription().ySize, strips);
    }
    if (lumaChroma && !layout.parts.empty()) {
        // The RGBA interface opens the file anew, with buffers of its own.
        const ExrPart& first = layout.parts[0];
        const std::uint64_t width = static_cast<std::uint64_t>(first.frame.dataWindow.Width());
        memory.held += OpenExrBufferBytes(first.chunkBytes, exrThreads) +
                       LUMA_CHROMA_ROWS * (width + LUMA_CHROMA_TAPS) * RGBA_PIXEL_BYTES +
                       width * StripRows(window.minY, window.maxY) * RGBA_PIXEL_BYTES +
                       StripBytes(static_cast<std::uint64_t>(window.Width()), 1, 1);
    }
    return memory;
}

ExrFile ExrInput::ReadWhole()
{
    ExrFile file = layout;
    GuardExrRead(path, [&] {
        for (int part = 0; part < static_cast<int>(file.parts.size()); ++part)
            ReadPartSamples(*open->exr, part, file, {}, limits, fileBytes);
    });
    return file;
}

void ExrInput::ReadLumaChroma(const PixelBox& window, ReadScratch& readScratch, const RowSink& sink)
{
    std::vector<std::uint32_t>& scratch = readScratch.rows;
    GuardExrRead(path, [&] {
        // The file was held to its claims when it was opened; the RGBA interface reads it anew.
        const std::unique_ptr<std::ifstream> file = OpenInputFile(path);
        Imf::StdIFStream stream(*file, path.c_str());
        Imf::RgbaInputFile rgba(stream);
        const Imath::Box2i box = rgba.dataWindow();
        const PixelBox from{box.min.x, box.min.y, box.max.x, box.max.y};
        const int top = std::max(from.minY, window.minY);
        const int bottom = std::min(from.maxY, window.maxY);
        const int left = std::max(from.minX, window.minX);
        const int right = std::min(from.maxX, window.maxX);
        if (top > bottom || left > right) return;
        const std::size_t width = static_cast<std::size_t>(from.Width());
        const std::size_t count = static_cast<std::size_t>(right - left + 1);
        std::vector<Imf::Rgba> strip(width * StripRows(top, bottom));
        SizeScratch(scratch, count);
        for (int y0 = top; y0 <= bottom; y0 += STRIP_ROWS) {
            const int y1 = std::min(bottom, y0 + STRIP_ROWS - 1);
            // OpenEXR finds pixel (x, y) at base + x + y * width.
            const std::intptr_t offset = static_cast<std::intptr_t>(from.minX) +
                                         static_cast<std::intptr_t>(y0) * static_cast<std::intptr_t>(width);
            rgba.setFrameBuffer(
                reinterpret_cast<Imf::Rgba*>(reinterpret_cast<std::intptr_t>(strip.data()) -
                                             offset * static_cast<std::intptr_t>(sizeof(Imf::Rgba))),
                1, width);
            rgba.readPixels(y0, y1);
            for (int y = y0; y <= y1; ++y) {
                const Imf::Rgba* row =
                    strip.data() + static_cast<std::size_t>(y - y0) * width + (left - from.minX);
                for (std::size_t k = 0; k < 3; ++k) {
                    for (std::size_t i = 0; i < count; ++i) {
                        const half value = k == 0 ? row[i].r : k == 1 ? row[i].g : row[i].b;
                        scratch[i] = std::bit_cast<std::uint32_t>(static_cast<float>(value));
                    }
                    sink(k, y - window.minY, left - window.minX, static_cast<int>(count), scratch.data());
                }
            }
        }
    });
}

} // namespace deepglass
