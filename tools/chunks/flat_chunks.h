// The chunks of a flat scanline part stored uncompressed or with RLE, ZIPS or ZIP, decoded by the
// tool itself, a few chunks at a time on several threads: each chunk read as stored through
// OpenEXR (which finds it by its offset table and checks its leader), inflated with libdeflate into
// exactly the bytes its rows hold, the predictor and the byte interleave of RLE and ZIP undone, and
// only the channels asked for picked out of its rows and converted as OpenEXR converts them (HALF
// to float through Imath's table, FLOAT and UINT as they are). Every other compression, deep and
// tiled parts stay with OpenEXR.
#pragma once

#include <ImfForward.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct libdeflate_decompressor;

namespace deepglass {

// What one thread that decodes chunks keeps for the next chunk: the chunk as stored and unpacked,
// and its inflater.
struct ChunkScratch {
    std::vector<std::uint8_t> stored;
    std::vector<std::uint8_t> unpacked;
    std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> inflater{nullptr, nullptr};
};

// Whether the tool decodes the chunks of a part with this header itself.
bool DecodesOwnChunks(const Imf::Header& header);

// Gets row `y` of channel `k` (its place among the channels asked for), from column `left` on.
using ChunkRowSink = std::function<void(std::size_t k, int y, const std::uint32_t* samples)>;

// Decodes rows `top` to `bottom`, columns `left` to `right` (all within the data window) of the
// channels `wanted` (stored names, none subsampled) of part `input`, whose header DecodesOwnChunks
// takes, on up to `threads` threads, and hands each row of each channel to `row`, rows in order.
// The samples are the same whatever the number of threads, and so is the first fault found: a
// chunk that does not hold what its rows need is an ExrReadFailure naming its rows, and rows
// after it are not handed over. Each decoding thread holds a chunk and a strip of STRIP_ROWS rows
// (no more rows than the read spans), and no more threads decode than the strip and their chunks
// fit in `allowance` bytes (0: no limit; one thread whatever it is). `rows` (the strip of decoded
// rows) and `chunks` (one a decoding thread) keep their memory for the next call where it is no
// more than that call needs.
void ReadOwnChunks(Imf::InputPart& input, const Imf::Header& header, const std::vector<std::string>& wanted,
                   int top, int bottom, int left, int right, int threads, std::uint64_t allowance,
                   std::vector<std::uint32_t>& rows, std::vector<ChunkScratch>& chunks,
                   const ChunkRowSink& row);
// What ReadOwnChunks holds reading those rows and columns of `channels` channels of a part with
// this header on one decoding thread: its strip and the thread's chunk.
std::uint64_t OwnChunksBytes(const Imf::Header& header, std::size_t channels, int top, int bottom, int left,
                             int right);

// Gives `rows` exactly `size` elements: memory it keeps from an earlier read is reused when it is
// the same, given back when it is more.
void SizeScratch(std::vector<std::uint32_t>& rows, std::size_t size);

} // namespace deepglass
