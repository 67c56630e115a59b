// The IDs a Cryptomatte layer stores: a name's 32-bit MurmurHash3 (x86 variant, seed 0) turned
// into the bits of a float whose exponent is held within 1..254, so that no ID is a zero, a
// denormal, an infinity or a NaN. IDs are compared by these bits, never as floats.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace deepglass {

// MurmurHash3_x86_32 of the bytes of `data`.
std::uint32_t MurmurHash3_32(std::string_view data, std::uint32_t seed = 0);

// The float bits a hash is stored as: the hash itself with its exponent bits raised to 1 where
// they are 0 and lowered to 254 where they are 255.
std::uint32_t IdBitsOfHash(std::uint32_t hash);

// The stored ID of a name (its UTF-8 bytes hashed as they are).
std::uint32_t IdBitsOfName(std::string_view name);

// "13851a76": the 8 lower-case hex digits a manifest writes an ID as.
std::string IdHex(std::uint32_t bits);
// The ID that 8 hex digits (either case) spell; nothing for any other text.
std::optional<std::uint32_t> ParseIdHex(std::string_view text);

} // namespace deepglass
