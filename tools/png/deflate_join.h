// Raw DEFLATE streams compressed apart, made into one: a stream whose every block is walked to find
// where its final block begins and where it ends to the bit, so that the final block can be made
// non-final and followed by an empty stored block, as a sync flush ends, and the next stream can
// start on the byte after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace deepglass {

// Where a raw DEFLATE stream's final block begins and where the block ends, in bits from the
// stream's first byte (bit 0 the lowest bit of byte 0).
struct DeflateEnd {
    std::size_t finalBlockBit = 0;
    std::size_t endBit = 0;
};

// Walks the blocks of the raw DEFLATE stream `data` (stored, fixed and dynamic Huffman: block
// headers and code tables read, symbols decoded and skipped, nothing inflated) up to the end of its
// final block. Nothing when the stream is not valid DEFLATE, does not end in its last byte (only
// zero bits after the final block), or has no final block within `size` bytes.
std::optional<DeflateEnd> FindDeflateEnd(const std::uint8_t* data, std::size_t size);

// Makes the raw DEFLATE stream `stream`, whose end `end` is, a part of a longer stream: its final
// block made non-final, the bits after it cleared, and an empty non-final stored block appended at
// its end bit (3 zero bits, zeros to the byte, 00 00 FF FF), so that the stream ends on a byte
// boundary and whatever follows is its next block.
void MakeNonFinal(std::vector<std::uint8_t>& stream, const DeflateEnd& end);

} // namespace deepglass
