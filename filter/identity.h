// The module's identity: texts the host reads and the numbers it stores. Hosts find the filter and
// accept its saved records by versionWord, so changing it orphans every saved record.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t IDENTITY_TEXT_SIZE = 256;

extern const char productName[IDENTITY_TEXT_SIZE];  // "Deepglass"; also the descriptor's class name
extern const char authorText[IDENTITY_TEXT_SIZE];
extern const char rightsText[IDENTITY_TEXT_SIZE];

// Also the first word of the class id and the tag of every configuration record.
constexpr std::uint32_t versionWord = 0x5E7601D7;
constexpr std::uint32_t capabilityFlags = 6;
