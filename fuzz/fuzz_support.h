// Helpers shared by the fuzz targets: reading fields from the fuzzer's bytes, and stopping with a
// message when a rule is broken (libFuzzer then keeps the input as a crash).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Reads little-endian fields from the input; past its end every byte reads as 0.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    std::uint8_t Byte() { return offset < size ? data[offset++] : 0; }
    std::uint16_t Word16()
    {
        const std::uint16_t low = Byte();
        return static_cast<std::uint16_t>(low | (Byte() << 8));
    }
    std::uint32_t Word32()
    {
        const std::uint32_t low = Word16();
        return low | (static_cast<std::uint32_t>(Word16()) << 16);
    }
    float Float()
    {
        const std::uint32_t bits = Word32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t offset = 0;
};

#define FUZZ_REQUIRE(condition)                                                                              \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: rule broken: %s\n", __FILE__, __LINE__, #condition);                \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)
