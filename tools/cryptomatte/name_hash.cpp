#include "cryptomatte/name_hash.h"

#include <algorithm>
#include <bit>
#include <cstdio>

namespace deepglass {

namespace {

constexpr std::uint32_t EXPONENT_SHIFT = 23;
constexpr std::uint32_t EXPONENT_MASK = 0xFFu << EXPONENT_SHIFT;
constexpr std::uint32_t EXPONENT_LOWEST = 1;
constexpr std::uint32_t EXPONENT_HIGHEST = 254;

std::uint32_t MixBlock(std::uint32_t k)
{
    k *= 0xCC9E2D51u;
    k = std::rotl(k, 15);
    return k * 0x1B873593u;
}

} // namespace

std::uint32_t MurmurHash3_32(std::string_view data, std::uint32_t seed)
{
    const auto byte = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(data[i]));
    };
    std::uint32_t h = seed;
    const std::size_t blocks = data.size() / 4;
    for (std::size_t b = 0; b < blocks; ++b) {
        // Blocks are read little-endian whatever the machine, so the hash is the same everywhere.
        const std::size_t i = 4 * b;
        const std::uint32_t k = byte(i) | byte(i + 1) << 8 | byte(i + 2) << 16 | byte(i + 3) << 24;
        h ^= MixBlock(k);
        h = std::rotl(h, 13);
        h = h * 5 + 0xE6546B64u;
    }
    std::uint32_t tail = 0;
    switch (data.size() & 3) {
    case 3: tail ^= byte(4 * blocks + 2) << 16; [[fallthrough]];
    case 2: tail ^= byte(4 * blocks + 1) << 8; [[fallthrough]];
    case 1:
        tail ^= byte(4 * blocks);
        h ^= MixBlock(tail);
        break;
    default: break;
    }
    h ^= static_cast<std::uint32_t>(data.size());
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

std::uint32_t IdBitsOfHash(std::uint32_t hash)
{
    std::uint32_t exponent = (hash & EXPONENT_MASK) >> EXPONENT_SHIFT;
    exponent = std::min(std::max(exponent, EXPONENT_LOWEST), EXPONENT_HIGHEST);
    return (hash & ~EXPONENT_MASK) | exponent << EXPONENT_SHIFT;
}

std::uint32_t IdBitsOfName(std::string_view name) { return IdBitsOfHash(MurmurHash3_32(name)); }

std::string IdHex(std::uint32_t bits)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(bits));
    return text;
}

std::optional<std::uint32_t> ParseIdHex(std::string_view text)
{
    if (text.size() != 8) return std::nullopt;
    std::uint32_t bits = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return std::nullopt;
        bits = bits << 4 | static_cast<std::uint32_t>(digit);
    }
    return bits;
}

} // namespace deepglass
