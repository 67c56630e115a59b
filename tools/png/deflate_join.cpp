#include "png/deflate_join.h"

#include <array>
#include <cstring>

namespace deepglass {

namespace {

constexpr int MAX_CODE_BITS = 15;
constexpr int LITLEN_SYMBOLS = 288; // 286 usable, and the two fixed codes give lengths to all 288
constexpr int DIST_SYMBOLS = 32;    // 30 usable, likewise
constexpr int END_OF_BLOCK = 256;

// The bits of the stream, lowest bit of the first byte first. Reads past the last byte see zeros,
// and Past() tells when the bits consumed run beyond it.
class Bits {
public:
    Bits(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    // The next `count` (at most 32) bits, not consumed.
    std::uint32_t Peek(int count) const
    {
        const std::size_t byte = at / 8;
        std::uint64_t word = 0;
        if (byte + 8 <= size) {
            std::uint8_t raw[8];
            std::memcpy(raw, data + byte, 8);
            for (int i = 7; i >= 0; --i) word = word << 8 | raw[i];
        } else {
            for (std::size_t i = byte; i < size; ++i) word |= std::uint64_t{data[i]} << (8 * (i - byte));
        }
        return static_cast<std::uint32_t>((word >> (at % 8)) & ((std::uint64_t{1} << count) - 1));
    }
    void Skip(std::size_t count) { at += count; }
    std::uint32_t Take(int count)
    {
        const std::uint32_t value = Peek(count);
        at += static_cast<std::size_t>(count);
        return value;
    }
    void ToByte() { at = (at + 7) / 8 * 8; }
    std::size_t At() const { return at; }
    bool Past() const { return at > size * 8; }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};

// A canonical Huffman code as a table indexed by the next `bits` bits of the stream: each entry the
// symbol << 4 | its code's length, 0 where no code starts with those bits (an incomplete code).
struct Code {
    int bits = 0;
    std::vector<std::uint16_t> table;

    // False when the lengths over-subscribe the code (more codes than bit patterns).
    bool Build(const std::uint8_t* lengths, int symbols)
    {
        int counts[MAX_CODE_BITS + 1] = {};
        for (int s = 0; s < symbols; ++s) ++counts[lengths[s]];
        counts[0] = 0;
        int left = 1;
        bits = 1;
        for (int length = 1; length <= MAX_CODE_BITS; ++length) {
            left = left * 2 - counts[length];
            if (left < 0) return false;
            if (counts[length] != 0) bits = length;
        }
        int next[MAX_CODE_BITS + 1] = {};
        for (int length = 1, code = 0; length <= MAX_CODE_BITS; ++length)
            next[length] = code = (code + counts[length - 1]) << 1;
        table.assign(std::size_t{1} << bits, 0);
        for (int s = 0; s < symbols; ++s) {
            const int length = lengths[s];
            if (length == 0) continue;
            // The code is stored first bit first, which is its highest bit.
            std::uint32_t reversed = 0;
            for (int b = 0, code = next[length]++; b < length; ++b)
                reversed |= ((code >> b) & 1u) << (length - 1 - b);
            for (std::size_t i = reversed; i < table.size(); i += std::size_t{1} << length)
                table[i] = static_cast<std::uint16_t>(s << 4 | length);
        }
        return true;
    }

    // The next symbol, or -1 where no code starts with the stream's next bits.
    int Decode(Bits& in) const
    {
        const std::uint16_t entry = table[in.Peek(bits)];
        if (entry == 0) return -1;
        in.Skip(entry & 15u);
        return entry >> 4;
    }
};

// The extra bits of length symbols 257..285 and of distance symbols 0..29.
constexpr std::array<std::uint8_t, 29> LENGTH_EXTRA = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
int DistanceExtra(int symbol) { return symbol < 4 ? 0 : symbol / 2 - 1; }

// The symbols of one Huffman block skipped up to its end-of-block code; false on a symbol no code
// or no DEFLATE meaning has, or past the stream's end.
bool SkipSymbols(Bits& in, const Code& litlen, const Code& dist)
{
    for (;;) {
        const int symbol = litlen.Decode(in);
        if (symbol < 0 || symbol > 285 || in.Past()) return false;
        if (symbol == END_OF_BLOCK) return true;
        if (symbol < END_OF_BLOCK) continue;
        in.Skip(LENGTH_EXTRA[static_cast<std::size_t>(symbol - 257)]);
        const int distance = dist.Decode(in);
        if (distance < 0 || distance > 29) return false;
        in.Skip(static_cast<std::size_t>(DistanceExtra(distance)));
    }
}

const std::pair<Code, Code>& FixedCodes()
{
    static const std::pair<Code, Code> codes = [] {
        std::uint8_t lengths[LITLEN_SYMBOLS];
        for (int s = 0; s < LITLEN_SYMBOLS; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
        std::pair<Code, Code> made;
        made.first.Build(lengths, LITLEN_SYMBOLS);
        std::memset(lengths, 5, DIST_SYMBOLS);
        made.second.Build(lengths, DIST_SYMBOLS);
        return made;
    }();
    return codes;
}

// A dynamic block's header: its literal/length and distance codes, read through the code-length
// code.
bool ReadDynamicCodes(Bits& in, Code& litlen, Code& dist)
{
    const int litlens = static_cast<int>(in.Take(5)) + 257;
    const int dists = static_cast<int>(in.Take(5)) + 1;
    const int lengthCodes = static_cast<int>(in.Take(4)) + 4;
    if (litlens > 286 || dists > 30) return false;
    static constexpr std::uint8_t ORDER[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                               11, 4,  12, 3, 13, 2, 14, 1, 15};
    std::uint8_t lengths[LITLEN_SYMBOLS + DIST_SYMBOLS] = {};
    for (int i = 0; i < lengthCodes; ++i) lengths[ORDER[i]] = static_cast<std::uint8_t>(in.Take(3));
    Code lengthCode;
    if (!lengthCode.Build(lengths, 19)) return false;
    std::memset(lengths, 0, 19);
    for (int at = 0; at < litlens + dists;) {
        const int symbol = lengthCode.Decode(in);
        if (symbol < 0 || in.Past()) return false;
        if (symbol < 16) {
            lengths[at++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        if (symbol == 16 && at == 0) return false;
        const std::uint8_t repeated = symbol == 16 ? lengths[at - 1] : 0;
        const int count = symbol == 16   ? 3 + static_cast<int>(in.Take(2))
                          : symbol == 17 ? 3 + static_cast<int>(in.Take(3))
                                         : 11 + static_cast<int>(in.Take(7));
        if (at + count > litlens + dists) return false;
        std::memset(lengths + at, repeated, static_cast<std::size_t>(count));
        at += count;
    }
    if (lengths[END_OF_BLOCK] == 0) return false;
    return litlen.Build(lengths, litlens) && dist.Build(lengths + litlens, dists);
}

} // namespace

std::optional<DeflateEnd> FindDeflateEnd(const std::uint8_t* data, std::size_t size)
{
    Bits in(data, size);
    Code litlen, dist;
    for (;;) {
        const std::size_t header = in.At();
        const bool final = in.Take(1) != 0;
        const std::uint32_t type = in.Take(2);
        if (type == 0) {
            in.ToByte();
            const std::uint32_t length = in.Take(16);
            if ((in.Take(16) ^ 0xFFFFu) != length) return std::nullopt;
            in.Skip(std::size_t{length} * 8);
        } else if (type == 1) {
            if (!SkipSymbols(in, FixedCodes().first, FixedCodes().second)) return std::nullopt;
        } else if (type == 2) {
            if (!ReadDynamicCodes(in, litlen, dist) || !SkipSymbols(in, litlen, dist)) return std::nullopt;
        } else {
            return std::nullopt;
        }
        if (in.Past()) return std::nullopt;
        if (final) {
            // Only the final byte's padding may follow, and it is zero.
            const std::size_t end = in.At();
            if ((end + 7) / 8 != size || (end % 8 != 0 && (data[size - 1] >> (end % 8)) != 0))
                return std::nullopt;
            return DeflateEnd{header, end};
        }
    }
}

void MakeNonFinal(std::vector<std::uint8_t>& stream, const DeflateEnd& end)
{
    stream.resize((end.endBit + 7) / 8);
    stream[end.finalBlockBit / 8] &= static_cast<std::uint8_t>(~(1u << (end.finalBlockBit % 8)));
    const std::size_t used = end.endBit % 8; // bits of the last byte the block takes; 0: all
    if (used != 0) stream.back() &= static_cast<std::uint8_t>((1u << used) - 1);
    // The stored block's 3 header bits (000: not final, stored) fit in the last byte when it has 3
    // bits to spare; else they begin there and end in a byte of their own.
    if (used == 0 || used > 5) stream.push_back(0);
    for (const std::uint8_t byte : {0x00, 0x00, 0xFF, 0xFF}) stream.push_back(byte);
}

} // namespace deepglass
