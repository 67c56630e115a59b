// Configuration records as the host stores them, built byte by byte in the tests so that they check
// the module's layout rather than share it: four little-endian 32-bit words, tag, mode, object ID,
// material-effects ID.
#pragma once

#include <array>
#include <cstdint>

using ConfigRecord = std::array<unsigned char, 16>;

constexpr std::uint32_t FILTER_TAG = 0x5E7601D7;

struct RecordWords {
    std::uint32_t tag;
    std::int32_t mode;
    std::int32_t objectId;
    std::int32_t materialId;
};

inline ConfigRecord MakeRecord(std::int32_t mode, std::int32_t objectId, std::int32_t materialId,
                               std::uint32_t tag = FILTER_TAG)
{
    const std::uint32_t words[] = {tag, static_cast<std::uint32_t>(mode),
                                   static_cast<std::uint32_t>(objectId),
                                   static_cast<std::uint32_t>(materialId)};
    ConfigRecord bytes{};
    for (int i = 0; i < 16; ++i) bytes[i] = static_cast<unsigned char>(words[i / 4] >> (8 * (i % 4)));
    return bytes;
}

inline RecordWords ReadRecord(const ConfigRecord& bytes)
{
    std::uint32_t words[4] = {};
    for (int i = 0; i < 16; ++i) words[i / 4] |= static_cast<std::uint32_t>(bytes[i]) << (8 * (i % 4));
    return {words[0], static_cast<std::int32_t>(words[1]), static_cast<std::int32_t>(words[2]),
            static_cast<std::int32_t>(words[3])};
}
