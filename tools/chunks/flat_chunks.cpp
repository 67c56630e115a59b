#include "chunks/flat_chunks.h"

#include <ImfChannelList.h>
#include <ImfHeader.h>
#include <ImfInputPart.h>
#include <ImfPartType.h>
#include <half.h>
#include <libdeflate.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <climits>
#include <cstring>
#include <exception>
#include <mutex>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/exr_read_failure.h"
#include "base/frame_memory.h"
#include "base/parallel_for.h"

namespace deepglass {

namespace {

// Rows in one chunk, as OpenEXR stores them.
constexpr int ZIP_LINES = 16;

struct StoredChannel {
    Imf::PixelType type = Imf::HALF;
    std::size_t bytes = 0; // a sample's
    int ySampling = 1;
    std::size_t samples = 0; // in a row that has them
};

// The line layout of the part's chunks: each row holds each channel in the file's order, those
// whose y-sampling the row meets, one sample a x-sampling step.
struct PartLayout {
    Imf::Compression compression = Imf::NO_COMPRESSION;
    int minX = 0, minY = 0, maxY = 0;
    int lines = 1;
    std::vector<StoredChannel> channels;
    // (stored channel, its place among those asked for), by stored channel.
    std::vector<std::pair<std::size_t, std::size_t>> asked;

    bool Has(const StoredChannel& channel, int y) const
    {
        return channel.ySampling <= 1 || Modp(y, channel.ySampling) == 0;
    }
    std::uint64_t RowBytes(int y) const
    {
        std::uint64_t bytes = 0;
        for (const StoredChannel& channel : channels)
            if (Has(channel, y)) bytes += channel.samples * channel.bytes;
        return bytes;
    }
    static int Modp(int a, int b)
    {
        const int m = a % b;
        return m < 0 ? m + b : m;
    }
};

// Samples of a channel between columns a and b stored at one a `s` columns, as OpenEXR counts
// them (Imf::numSamples).
std::size_t SampleCount(int s, int a, int b)
{
    auto divp = [](std::int64_t x, std::int64_t y) { return x >= 0 ? x / y : -((y - 1 - x) / y); };
    const std::int64_t a1 = divp(a, s);
    const std::int64_t b1 = divp(b, s);
    return static_cast<std::size_t>(b1 - a1 + (a1 * s < a ? 0 : 1));
}

PartLayout LayoutOf(const Imf::Header& header, const std::vector<std::string>& wanted)
{
    PartLayout layout;
    layout.compression = header.compression();
    const Imath::Box2i& window = header.dataWindow();
    layout.minX = window.min.x;
    layout.minY = window.min.y;
    layout.maxY = window.max.y;
    layout.lines = layout.compression == Imf::ZIP_COMPRESSION ? ZIP_LINES : 1;
    for (auto it = header.channels().begin(); it != header.channels().end(); ++it) {
        const Imf::Channel& channel = it.channel();
        const std::size_t index = layout.channels.size();
        layout.channels.push_back({channel.type, channel.type == Imf::HALF ? 2u : 4u, channel.ySampling,
                                   SampleCount(std::max(channel.xSampling, 1), window.min.x, window.max.x)});
        for (std::size_t k = 0; k < wanted.size(); ++k) {
            if (wanted[k] != it.name()) continue;
            if (channel.xSampling != 1 || channel.ySampling != 1)
                throw ExrReadFailure("channel " + wanted[k] +
                                     " is subsampled; its chunks are read by OpenEXR");
            layout.asked.emplace_back(index, k);
        }
    }
    if (layout.asked.size() != wanted.size())
        throw ExrReadFailure("a channel asked for is not in its part"); // cannot be, as the layout lists them
    return layout;
}

// The predictor of RLE and ZIP undone in place: each byte was stored as its difference from the
// one before, plus 128.
void UndoPredictor(std::uint8_t* bytes, std::size_t count)
{
    std::size_t i = 0;
    std::uint8_t last = 128; // so that the first byte stays as it is
#if defined(__SSE2__)
    // Sixteen bytes at a time: their prefix sum in four shifted additions, plus the running value
    // before them, which is all that carries from one block to the next.
    const __m128i bias = _mm_set1_epi8(static_cast<char>(0x80));
    __m128i carry = bias;
    for (; i + 16 <= count; i += 16) {
        __m128i v = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)), bias);
        v = _mm_add_epi8(v, _mm_slli_si128(v, 1));
        v = _mm_add_epi8(v, _mm_slli_si128(v, 2));
        v = _mm_add_epi8(v, _mm_slli_si128(v, 4));
        v = _mm_add_epi8(v, _mm_slli_si128(v, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + i), _mm_add_epi8(v, carry));
        __m128i total = _mm_srli_si128(v, 15);
        total = _mm_unpacklo_epi8(total, total);
        total = _mm_unpacklo_epi16(total, total);
        carry = _mm_add_epi8(carry, _mm_shuffle_epi32(total, 0));
    }
    if (i > 0) last = bytes[i - 1];
#endif
    for (; i < count; ++i) bytes[i] = last = static_cast<std::uint8_t>(last + bytes[i] - 128);
}

// OpenEXR's run-length code into exactly `expected` bytes: a negative count byte is followed by
// that many bytes as they are, any other by one byte to repeat count + 1 times.
bool RleUnpack(const std::uint8_t* in, std::size_t size, std::uint8_t* out, std::size_t expected)
{
    std::size_t at = 0;
    std::size_t written = 0;
    while (at < size) {
        const int code = static_cast<signed char>(in[at++]);
        if (code < 0) {
            const std::size_t count = static_cast<std::size_t>(-code);
            if (count > size - at || count > expected - written) return false;
            std::memcpy(out + written, in + at, count);
            at += count;
            written += count;
        } else {
            const std::size_t count = static_cast<std::size_t>(code) + 1;
            if (at >= size || count > expected - written) return false;
            std::memset(out + written, in[at++], count);
            written += count;
        }
    }
    return written == expected;
}

// `count` samples of `type` into the held form (HALF as a float's bits, FLOAT and UINT as they
// are), from bytes whose little-endian byte pairs are lo[j * S], hi[j * S]: S = 2 over bytes as
// they are (hi = lo + 1); S = 1 over the two halves of a chunk whose bytes were interleaved.
template <std::size_t S>
void Convert(Imf::PixelType type, const std::uint8_t* lo, const std::uint8_t* hi, std::size_t count,
             std::uint32_t* out)
{
    if (type == Imf::HALF) {
        for (std::size_t i = 0; i < count; ++i) {
            const auto bits = static_cast<imath_half_bits_t>(lo[i * S] | hi[i * S] << 8);
            out[i] = std::bit_cast<std::uint32_t>(imath_half_to_float(bits));
        }
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t j = 2 * i * S;
        out[i] = static_cast<std::uint32_t>(lo[j]) | static_cast<std::uint32_t>(hi[j]) << 8 |
                 static_cast<std::uint32_t>(lo[j + S]) << 16 | static_cast<std::uint32_t>(hi[j + S]) << 24;
    }
}

std::string RowsText(int y0, int y1)
{
    return y0 == y1 ? "row " + std::to_string(y0)
                    : "rows " + std::to_string(y0) + " to " + std::to_string(y1);
}

void FreeInflater(libdeflate_decompressor* inflater) { libdeflate_free_decompressor(inflater); }

// What the threads of one read share.
struct ChunkRead {
    Imf::InputPart& input;
    std::mutex reading; // OpenEXR hands each chunk over in a buffer of its own, one at a time
    const PartLayout& layout;
    int top, bottom, left;
    std::size_t count; // samples of a row handed over
    std::uint32_t* strip;
    int stripTop;            // the row strip[0] holds
    std::size_t stripStride; // between channels
};

// Decodes the chunk whose first row is `y0` into the strip, with the thread's own `mine`.
void DecodeChunk(ChunkRead& read, int y0, ChunkScratch& mine)
{
    const PartLayout& layout = read.layout;
    const int y1 = static_cast<int>(std::min<std::int64_t>(std::int64_t{y0} + layout.lines - 1, layout.maxY));
    std::uint64_t expected = 0;
    // Rows are counted in 64 bits, so that a window reaching the largest int ends its loops.
    for (std::int64_t y = y0; y <= y1; ++y) expected += layout.RowBytes(static_cast<int>(y));
    if (expected > static_cast<std::uint64_t>(INT_MAX))
        throw ExrReadFailure("damaged EXR file: the chunk of " + RowsText(y0, y1) + " would unpack to " +
                             std::to_string(expected) + " bytes");
    int size = 0;
    {
        const std::lock_guard<std::mutex> hold(read.reading);
        const char* data = nullptr;
        read.input.rawPixelData(y0, data, size);
        if (size < 0 || static_cast<std::uint64_t>(size) > expected)
            throw ExrReadFailure("damaged EXR file: the chunk of " + RowsText(y0, y1) + " holds " +
                                 std::to_string(size) + " bytes, more than the " + std::to_string(expected) +
                                 " its rows take unpacked");
        mine.stored.resize(std::max<std::size_t>(mine.stored.size(), static_cast<std::size_t>(size)));
        // An empty chunk copies nothing, into a buffer that may have none yet.
        if (size > 0) std::memcpy(mine.stored.data(), data, static_cast<std::size_t>(size));
    }
    const std::size_t length = static_cast<std::size_t>(expected);
    const std::uint8_t* bytes = mine.stored.data();
    // OpenEXR stores a chunk as it is wherever compressing it would not make it smaller.
    const bool packed = static_cast<std::size_t>(size) < length;
    if (packed) {
        if (layout.compression == Imf::NO_COMPRESSION)
            throw ExrReadFailure("incomplete EXR file: the chunk of " + RowsText(y0, y1) + " holds " +
                                 std::to_string(size) + " of the " + std::to_string(length) +
                                 " bytes its rows take");
        if (mine.unpacked.size() < length) mine.unpacked.resize(length);
        bool unpacked = false;
        if (layout.compression == Imf::RLE_COMPRESSION) {
            unpacked = RleUnpack(bytes, static_cast<std::size_t>(size), mine.unpacked.data(), length);
        } else {
            if (!mine.inflater) {
                mine.inflater = {libdeflate_alloc_decompressor(), FreeInflater};
                if (!mine.inflater) throw std::bad_alloc();
            }
            unpacked =
                libdeflate_zlib_decompress(mine.inflater.get(), bytes, static_cast<std::size_t>(size),
                                           mine.unpacked.data(), length, nullptr) == LIBDEFLATE_SUCCESS;
        }
        if (!unpacked)
            throw ExrReadFailure("damaged EXR file: the chunk of " + RowsText(y0, y1) +
                                 " does not unpack into the " + std::to_string(length) +
                                 " bytes its rows take");
        UndoPredictor(mine.unpacked.data(), length);
        bytes = mine.unpacked.data();
    }
    // An unpacked chunk holds its even bytes in its first half and its odd ones in its second.
    const std::size_t half = length / 2;
    const std::size_t skip = static_cast<std::size_t>(read.left - layout.minX);
    std::size_t rowStart = 0;
    for (std::int64_t row = y0; row <= y1; ++row) {
        const int y = static_cast<int>(row);
        if (y >= read.top && y <= read.bottom) {
            std::size_t offset = rowStart;
            std::size_t next = 0; // in layout.asked
            for (std::size_t c = 0; c < layout.channels.size() && next < layout.asked.size(); ++c) {
                const StoredChannel& channel = layout.channels[c];
                if (!layout.Has(channel, y)) continue;
                for (; next < layout.asked.size() && layout.asked[next].first == c; ++next) {
                    std::uint32_t* out = read.strip + layout.asked[next].second * read.stripStride +
                                         static_cast<std::size_t>(y - read.stripTop) * read.count;
                    const std::size_t at = offset + skip * channel.bytes; // even: every sample is
                    if (packed)
                        Convert<1>(channel.type, bytes + at / 2, bytes + half + at / 2, read.count, out);
                    else
                        Convert<2>(channel.type, bytes + at, bytes + at + 1, read.count, out);
                }
                offset += channel.samples * channel.bytes;
            }
        }
        rowStart += static_cast<std::size_t>(layout.RowBytes(y));
    }
}

// How a read of rows `top` to `bottom` is laid out at up to `lanes` decoding threads: the chunks
// it spans, those a strip holds and the strip's rows (no more than the read spans from its first
// chunk's first row), and what the strip and the threads' chunks take.
struct StripPlan {
    std::int64_t firstChunk = 0;
    std::size_t total = 0; // chunks spanned
    std::size_t lanes = 1;
    std::size_t stripChunks = 0;
    std::size_t stripRows = 0;
    std::uint64_t chunkBytes = 0; // a chunk at its largest, unpacked
    std::uint64_t bytes = 0;
};

StripPlan PlanStrip(const PartLayout& layout, std::size_t channels, int top, int bottom, int left, int right,
                    std::size_t lanes)
{
    StripPlan plan;
    const int lines = layout.lines;
    plan.firstChunk = (std::int64_t{top} - layout.minY) / lines;
    const std::int64_t lastChunk = (std::int64_t{bottom} - layout.minY) / lines;
    plan.total = static_cast<std::size_t>(lastChunk - plan.firstChunk + 1);
    plan.lanes = std::clamp<std::size_t>(lanes, 1, plan.total);
    plan.stripChunks = plan.lanes * static_cast<std::size_t>(std::max(1, STRIP_ROWS / lines));
    const std::int64_t spanned = std::int64_t{bottom} - (layout.minY + plan.firstChunk * lines) + 1;
    plan.stripRows = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(plan.stripChunks) * lines, spanned));
    // A chunk holds no more rows than the part has.
    const std::int64_t chunkRows = std::min<std::int64_t>(lines, std::int64_t{layout.maxY} - layout.minY + 1);
    for (const StoredChannel& channel : layout.channels)
        plan.chunkBytes += static_cast<std::uint64_t>(chunkRows) * channel.samples * channel.bytes;
    plan.bytes = StripBytes(static_cast<std::uint64_t>(right - left + 1), plan.stripRows, channels) +
                 plan.lanes * OwnChunkBytes(plan.chunkBytes);
    return plan;
}

} // namespace

void SizeScratch(std::vector<std::uint32_t>& rows, std::size_t size)
{
    if (rows.capacity() > size) std::vector<std::uint32_t>().swap(rows);
    rows.resize(size);
}

bool DecodesOwnChunks(const Imf::Header& header)
{
    if (header.hasTileDescription() || (header.hasType() && header.type() != Imf::SCANLINEIMAGE))
        return false;
    switch (header.compression()) {
    case Imf::NO_COMPRESSION:
    case Imf::RLE_COMPRESSION:
    case Imf::ZIPS_COMPRESSION:
    case Imf::ZIP_COMPRESSION: return true;
    default: return false;
    }
}

std::uint64_t OwnChunksBytes(const Imf::Header& header, std::size_t channels, int top, int bottom, int left,
                             int right)
{
    if (channels == 0 || top > bottom || left > right) return 0;
    return PlanStrip(LayoutOf(header, {}), channels, top, bottom, left, right, 1).bytes;
}

void ReadOwnChunks(Imf::InputPart& input, const Imf::Header& header, const std::vector<std::string>& wanted,
                   int top, int bottom, int left, int right, int threads, std::uint64_t allowance,
                   std::vector<std::uint32_t>& rows, std::vector<ChunkScratch>& chunks,
                   const ChunkRowSink& row)
{
    if (wanted.empty() || top > bottom || left > right) return;
    PartLayout layout = LayoutOf(header, wanted);
    std::sort(layout.asked.begin(), layout.asked.end());
    const int lines = layout.lines;
    // As many decoding threads as the strip and their chunks leave room for, one at least.
    std::size_t lanes = static_cast<std::size_t>(std::max(threads, 1));
    StripPlan plan = PlanStrip(layout, wanted.size(), top, bottom, left, right, lanes);
    while (allowance != 0 && plan.lanes > 1 && plan.bytes > allowance)
        plan = PlanStrip(layout, wanted.size(), top, bottom, left, right, plan.lanes - 1);
    lanes = plan.lanes;
    const std::size_t total = plan.total;
    const std::size_t stripChunks = plan.stripChunks;
    const std::int64_t firstChunk = plan.firstChunk;
    const std::size_t count = static_cast<std::size_t>(right - left + 1);
    const std::size_t stripStride = plan.stripRows * count;
    SizeScratch(rows, stripStride * wanted.size());
    chunks.resize(lanes);
    for (ChunkScratch& chunk : chunks) {
        // A thread's chunk from an earlier read of larger chunks is given back.
        if (chunk.stored.capacity() > plan.chunkBytes) std::vector<std::uint8_t>().swap(chunk.stored);
        if (chunk.unpacked.capacity() > plan.chunkBytes) std::vector<std::uint8_t>().swap(chunk.unpacked);
    }

    ChunkRead read{input, {}, layout, top, bottom, left, count, rows.data(), 0, stripStride};
    std::vector<std::exception_ptr> failures(stripChunks);
    for (std::size_t first = 0; first < total; first += stripChunks) {
        const std::size_t inStrip = std::min(stripChunks, total - first);
        const std::int64_t stripY = layout.minY + (firstChunk + static_cast<std::int64_t>(first)) * lines;
        read.stripTop = static_cast<int>(stripY);
        std::fill(failures.begin(), failures.end(), nullptr);
        std::atomic<std::size_t> next{0};
        ParallelFor(std::min(lanes, inStrip), static_cast<int>(lanes), [&](std::size_t lane) {
            for (std::size_t i; (i = next.fetch_add(1)) < inStrip;) {
                try {
                    DecodeChunk(read, static_cast<int>(stripY + static_cast<std::int64_t>(i) * lines),
                                chunks[lane]);
                } catch (...) {
                    failures[i] = std::current_exception();
                }
            }
        });
        // The rows go over in order, up to the first chunk that failed, whichever thread took it.
        for (std::size_t i = 0; i < inStrip; ++i) {
            if (failures[i]) std::rethrow_exception(failures[i]);
            const std::int64_t y0 = stripY + static_cast<std::int64_t>(i) * lines;
            const int from = static_cast<int>(std::max<std::int64_t>(y0, top));
            const int to = static_cast<int>(std::min<std::int64_t>(y0 + lines - 1, bottom));
            for (std::int64_t y = from; y <= to; ++y)
                for (std::size_t k = 0; k < wanted.size(); ++k)
                    row(k, static_cast<int>(y),
                        rows.data() + k * stripStride + static_cast<std::size_t>(y - stripY) * count);
        }
    }
}

} // namespace deepglass
