#include "png/png_writer.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>

#include "base/frame_memory.h"
#include "base/parallel_for.h"
#include "base/tool_error.h"
#include "png/deflate_join.h"
#include "png/png_chunks.h"

namespace deepglass {

namespace {

constexpr int MAX_LEVEL = 12;

std::size_t PixelBytes(const PngFormat& format)
{
    return (format.kind == PngKind::GREY ? 1u : 4u) * (format.bits == 8 ? 1u : 2u);
}

// A row's samples as PNG stores them: big-endian, one grey or four channels.
void StoreRow(const BMM_Color_64* pixels, int width, const PngFormat& format, std::uint8_t* out)
{
    const bool grey = format.kind == PngKind::GREY;
    for (int x = 0; x < width; ++x) {
        const BMM_Color_64& pixel = pixels[x];
        const std::uint16_t levels[4] = {pixel.r, pixel.g, pixel.b, pixel.a};
        for (int c = 0; c < (grey ? 1 : 4); ++c) {
            if (format.bits == 8) {
                *out++ = EightBitLevel(levels[c]);
            } else {
                *out++ = static_cast<std::uint8_t>(levels[c] >> 8);
                *out++ = static_cast<std::uint8_t>(levels[c]);
            }
        }
    }
}

std::uint8_t Paeth(int left, int up, int upLeft)
{
    const int estimate = left + up - upLeft;
    const int toLeft = std::abs(estimate - left), toUp = std::abs(estimate - up),
              toUpLeft = std::abs(estimate - upLeft);
    return static_cast<std::uint8_t>(toLeft <= toUp && toLeft <= toUpLeft ? left
                                     : toUp <= toUpLeft                   ? up
                                                                          : upLeft);
}

// Row `row` filtered with PNG filter `type` (0 none, 1 sub, 2 up, 3 average, 4 Paeth) against the
// row above it, `bpp` bytes a pixel.
void FilterRow(int type, const std::uint8_t* row, const std::uint8_t* above, std::size_t size,
               std::size_t bpp, std::uint8_t* out)
{
    for (std::size_t i = 0; i < size; ++i) {
        const int left = i >= bpp ? row[i - bpp] : 0;
        const int upLeft = i >= bpp ? above[i - bpp] : 0;
        const int predicted = type == 0   ? 0
                              : type == 1 ? left
                              : type == 2 ? above[i]
                              : type == 3 ? (left + above[i]) / 2
                                          : Paeth(left, above[i], upLeft);
        out[i] = static_cast<std::uint8_t>(row[i] - predicted);
    }
}

// libpng's measure of how well a filtered row compresses: its bytes taken as signed, summed.
std::uint64_t FilteredCost(const std::uint8_t* bytes, std::size_t size)
{
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += bytes[i] < 128 ? bytes[i] : 256u - bytes[i];
    return sum;
}

// What one thread uses for a segment at a time, kept for the next segment it takes.
struct Workspace {
    libdeflate_compressor* compressor = nullptr;
    std::vector<BMM_Color_64> pixels;
    std::vector<std::uint8_t> above, row, candidate, filtered, deflated;
    ~Workspace() { libdeflate_free_compressor(compressor); }
};

// The workspaces of a write: as many as threads work on it at once.
class Workspaces {
public:
    explicit Workspaces(int level) : level(level) {}

    std::unique_ptr<Workspace> Take()
    {
        {
            const std::lock_guard<std::mutex> hold(lock);
            if (!idle.empty()) {
                std::unique_ptr<Workspace> taken = std::move(idle.back());
                idle.pop_back();
                return taken;
            }
        }
        auto made = std::make_unique<Workspace>();
        made->compressor = libdeflate_alloc_compressor(level);
        if (made->compressor == nullptr) throw std::bad_alloc();
        return made;
    }
    void Give(std::unique_ptr<Workspace> workspace)
    {
        const std::lock_guard<std::mutex> hold(lock);
        idle.push_back(std::move(workspace));
    }

private:
    int level;
    std::mutex lock;
    std::vector<std::unique_ptr<Workspace>> idle;
};

// A segment of the zlib stream: its rows filtered and deflated, made non-final unless it is the
// last, and the Adler-32 and length of its filtered bytes.
struct Segment {
    std::vector<std::uint8_t> deflated;
    std::uint32_t adler = 1;
    std::size_t length = 0;
};

// The Adler-32 of two byte runs one after the other, from theirs and the second's length (as
// zlib's adler32_combine).
std::uint32_t CombinedAdler(std::uint32_t first, std::uint32_t second, std::size_t secondLength)
{
    constexpr std::uint32_t BASE = 65521;
    const std::uint32_t rest = static_cast<std::uint32_t>(secondLength % BASE);
    std::uint32_t sum1 = first & 0xFFFF;
    std::uint32_t sum2 = rest * sum1 % BASE;
    sum1 += (second & 0xFFFF) + BASE - 1;
    sum2 += (first >> 16) + (second >> 16) + BASE - rest;
    if (sum1 >= BASE) sum1 -= BASE;
    if (sum1 >= BASE) sum1 -= BASE;
    if (sum2 >= 2 * BASE) sum2 -= 2 * BASE;
    if (sum2 >= BASE) sum2 -= BASE;
    return sum1 | sum2 << 16;
}

// The rows [first, last) of the picture filtered into `work.filtered`, each row taking the filter
// `format.filters` allows that libpng's measure finds best.
void FilterRows(int first, int last, int width, const PngRow& row, const PngFormat& format, Workspace& work)
{
    const std::size_t bpp = PixelBytes(format);
    const std::size_t size = bpp * static_cast<std::size_t>(width);
    const int allowed = (format.filters & 0xF8) != 0 ? format.filters & 0xF8 : 0xF8;
    work.above.assign(size, 0);
    work.row.resize(size);
    work.candidate.resize(size);
    work.filtered.resize((size + 1) * static_cast<std::size_t>(last - first));
    if (first > 0) StoreRow(row(first - 1, work.pixels), width, format, work.above.data());
    std::uint8_t* out = work.filtered.data();
    for (int y = first; y < last; ++y, out += size + 1) {
        StoreRow(row(y, work.pixels), width, format, work.row.data());
        std::optional<std::uint64_t> best;
        for (int type = 0; type < 5; ++type) {
            if ((allowed & (PNG_ROW_NONE << type)) == 0) continue;
            if (!best && (allowed & ~(PNG_ROW_NONE << type)) == 0) {
                // The one filter allowed: no measuring.
                out[0] = static_cast<std::uint8_t>(type);
                FilterRow(type, work.row.data(), work.above.data(), size, bpp, out + 1);
                break;
            }
            FilterRow(type, work.row.data(), work.above.data(), size, bpp, work.candidate.data());
            const std::uint64_t cost = FilteredCost(work.candidate.data(), size);
            if (!best || cost < *best) {
                best = cost;
                out[0] = static_cast<std::uint8_t>(type);
                std::copy(work.candidate.begin(), work.candidate.end(), out + 1);
            }
        }
        std::swap(work.above, work.row);
    }
}

// Segment `s` of a picture whose segments hold `rows` rows: its rows filtered and deflated on
// the calling thread, made non-final unless it is the picture's last.
Segment DeflateSegment(const std::string& path, std::size_t s, std::size_t count, int rows, int width,
                       int height, const PngRow& row, const PngFormat& format, Workspaces& workspaces)
{
    std::unique_ptr<Workspace> work = workspaces.Take();
    const int first = static_cast<int>(s) * rows;
    FilterRows(first, std::min(height, first + rows), width, row, format, *work);
    Segment segment;
    segment.length = work->filtered.size();
    segment.adler = libdeflate_adler32(1, work->filtered.data(), segment.length);
    work->deflated.resize(libdeflate_deflate_compress_bound(work->compressor, segment.length));
    const std::size_t size =
        libdeflate_deflate_compress(work->compressor, work->filtered.data(), segment.length,
                                    work->deflated.data(), work->deflated.size());
    if (size == 0)
        throw ToolError("cannot write " + path + ": libdeflate found no room within its own bound");
    // A segment's own bytes, with room for the empty block that makes it part of the stream.
    segment.deflated.reserve(size + 5);
    segment.deflated.assign(work->deflated.begin(),
                            work->deflated.begin() + static_cast<std::ptrdiff_t>(size));
    if (s + 1 < count) {
        const std::optional<DeflateEnd> end = FindDeflateEnd(segment.deflated.data(), size);
        if (!end) throw ToolError("cannot write " + path + ": libdeflate's output could not be walked");
        MakeNonFinal(segment.deflated, *end);
    }
    workspaces.Give(std::move(work));
    return segment;
}

} // namespace

int PngSegmentRows(int width, const PngFormat& format)
{
    const std::size_t rowBytes = 1 + PixelBytes(format) * static_cast<std::size_t>(std::max(width, 1));
    return static_cast<int>(std::clamp<std::size_t>(PNG_SEGMENT_BYTES / rowBytes, 1, 1u << 30));
}

struct PngStream::Encoding {
    explicit Encoding(int level) : workspaces(level) {}
    Workspaces workspaces;
};

PngStream::PngStream(const std::string& path, int width, int height, const PngFormat& format, int threads)
    : path(path), width(width), height(height), format(format), threads(threads)
{
    if (width < 1 || height < 1)
        throw ToolError("cannot write " + path + ": a PNG picture is at least 1 x 1 pixels, not " +
                        std::to_string(width) + " x " + std::to_string(height));
    if (format.bits != 8 && format.bits != 16)
        throw ToolError("cannot write " + path + ": " + std::to_string(format.bits) +
                        " bits a sample, not 8 or 16");
    if (format.level < 0 || format.level > MAX_LEVEL)
        throw ToolError("cannot write " + path + ": compression level " + std::to_string(format.level) +
                        " is not 0 to " + std::to_string(MAX_LEVEL));
    std::vector<PngChunk> texts;
    for (const PngText& text : format.text) texts.push_back(TextChunk(path, text));
    segmentRows = PngSegmentRows(width, format);
    segments = static_cast<std::size_t>((height + segmentRows - 1) / segmentRows);
    encoding = std::make_unique<Encoding>(format.level);
    file = std::make_unique<PngFile>(path);
    static constexpr std::uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    file->Put(SIGNATURE, sizeof SIGNATURE);
    file->Chunk(HeaderChunk(width, height, format));
    if (format.srgb)
        file->Chunk({"sRGB", {0}}); // perceptual rendering intent
    else if (!format.iccProfile.empty())
        file->Chunk(ProfileChunk(format.iccProfile, std::max(format.level, 1)));
    for (const PngChunk& text : texts) file->Chunk(text);
}

PngStream::~PngStream() = default;

int PngStream::RowsWritten() const
{
    return static_cast<int>(std::min(static_cast<std::size_t>(height), written * segmentRows));
}

void PngStream::Rows(int last, const PngRow& row)
{
    const std::size_t upTo =
        last >= height ? segments : static_cast<std::size_t>(std::max(last, 0) / segmentRows);
    if (upTo <= written || file->Error() != 0) return;
    std::vector<Segment> batch(upTo - written);
    ParallelFor(batch.size(), threads, [&](std::size_t i) {
        batch[i] = DeflateSegment(path, written + i, segments, segmentRows, width, height, row, format,
                                  encoding->workspaces);
    });
    // The zlib stream, a segment an IDAT chunk: its header before the first, the Adler-32 of
    // every filtered byte after the last.
    const std::array<std::uint8_t, 2> header = ZlibHeader(format.level);
    for (const Segment& segment : batch) {
        adler = CombinedAdler(adler, segment.adler, segment.length);
        const bool first = written == 0, final = written + 1 == segments;
        std::vector<std::uint8_t> trailer;
        if (final) PutBigEndian(trailer, adler);
        file->Chunk("IDAT", {{header.data(), first ? header.size() : 0},
                             {segment.deflated.data(), segment.deflated.size()},
                             {trailer.data(), trailer.size()}});
        ++written;
    }
}

void PngStream::Close()
{
    if (written == segments) file->Chunk({"IEND", {}});
    if (const int error = file->Close(); error != 0)
        throw ToolError("cannot write " + path + ": " + std::strerror(error));
    if (written != segments)
        throw ToolError("cannot write " + path + ": " + std::to_string(RowsWritten()) + " of its " +
                        std::to_string(height) + " rows were given");
}

void WritePng(const std::string& path, int width, int height, const PngRow& row, const PngFormat& format,
              int threads)
{
    PngStream stream(path, width, height, format, threads);
    stream.Rows(height, row);
    stream.Close();
}

} // namespace deepglass
