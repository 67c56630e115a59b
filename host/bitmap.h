// The host's frame bitmap: a Bitmap that may own a BitmapStorage, whose BitmapInfo gives the size.
// The module reads rows and auxiliary channels through the storage and writes rows through the
// Bitmap. Everything here is the host's code (bmm); the module only calls it.
#pragma once

#include <cstdint>

#include "host_api.h"

// The host's pixel: four 16-bit components, each 0..65535.
struct BMM_Color_64 {
    std::uint16_t r;
    std::uint16_t g;
    std::uint16_t b;
    std::uint16_t a;
};
static_assert(sizeof(BMM_Color_64) == 8, "the host's pixel is 8 bytes");

// Auxiliary channel bits, as the filter requests them from the host and as QueryChannel takes them.
// The host's renderer and stored filter requests rely on these values.
constexpr std::uint32_t CHANNEL_DEPTH = 1;       // one 32-bit float a pixel
constexpr std::uint32_t CHANNEL_MATERIAL_ID = 2; // one unsigned 8-bit value a pixel
constexpr std::uint32_t CHANNEL_OBJECT_ID = 4;   // one unsigned 16-bit value a pixel

class HOST_BMM_API BitmapInfo {
public:
    BitmapInfo() = default;
    BitmapInfo(std::uint16_t width, std::uint16_t height);
    std::uint16_t Width() const;
    std::uint16_t Height() const;

private:
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};

class HOST_BMM_API BitmapStorage {
public:
    explicit BitmapStorage(BitmapInfo info);
    virtual ~BitmapStorage();
    BitmapStorage(const BitmapStorage&) = delete;
    BitmapStorage& operator=(const BitmapStorage&) = delete;

    // Copies count pixels of row y from column x into out; nonzero when they were delivered.
    virtual int ReadPixels(int x, int y, int count, BMM_Color_64* out) = 0;
    // Host side of Bitmap::PutPixels; the module never calls it directly.
    virtual int WritePixels(int x, int y, int count, const BMM_Color_64* in) = 0;
    // The per-pixel array of one channel, or null when the frame has none. The host may fill
    // *outValue; its meaning is the host's.
    virtual void* QueryChannel(std::uint32_t channel, std::uint32_t* outValue) = 0;

    BitmapInfo& Info() { return info; }

private:
    BitmapInfo info;
};

class HOST_BMM_API Bitmap {
public:
    explicit Bitmap(BitmapStorage* storage = nullptr);

    BitmapStorage* Storage() const { return storage; }
    // Writes count pixels into row y from column x; nonzero when they were stored.
    int PutPixels(int x, int y, int count, BMM_Color_64* pixels);

private:
    BitmapStorage* storage;
};
