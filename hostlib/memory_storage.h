// The stand-in host's frame storage: a frame held in memory (colour plus, each optional, depth,
// material-effects and object channels) that records every call made on it and can be told to
// fail chosen calls. Tests and the command-line host build their frames with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "bitmap.h"

enum class HostCallKind { ReadPixels, PutPixels, QueryChannel };

struct HostCall {
    HostCallKind kind;
    int x;                 // ReadPixels, PutPixels
    int y;                 // ReadPixels, PutPixels
    int count;             // ReadPixels, PutPixels
    std::uint32_t channel; // QueryChannel
    bool operator==(const HostCall&) const = default;
};

// Every member is defined inside bmm, so all of the storage's memory is allocated and released by
// the same runtime, whichever module holds the object.
class HOST_BMM_API MemoryStorage : public BitmapStorage {
public:
    static constexpr int NEVER = -1;
    // How a new array starts: zero-filled, or as it is, for a caller that writes every element
    // before the frame is used (a fresh page then is touched once, not twice).
    enum class Start { ZEROED, UNWRITTEN };

    MemoryStorage(std::uint16_t width, std::uint16_t height, Start start = Start::ZEROED);
    ~MemoryStorage() override;

    int ReadPixels(int x, int y, int count, BMM_Color_64* out) override;
    int WritePixels(int x, int y, int count, const BMM_Color_64* in) override;
    void* QueryChannel(std::uint32_t channel, std::uint32_t* outValue) override;

    int Width() const { return width; }
    int Height() const { return height; }
    std::size_t PixelCount() const { return static_cast<std::size_t>(width) * height; }

    // Colour, row-major (index y * width + x); always present.
    BMM_Color_64* Pixels();
    // Adds a channel and returns its array; the frame lacks it until then. An array dropped by
    // Reuse is taken again.
    float* AddDepth(Start start = Start::ZEROED);
    std::uint8_t* AddMaterialIds(Start start = Start::ZEROED);
    std::uint16_t* AddObjectIds(Start start = Start::ZEROED);
    // The channel arrays, or null while the frame lacks them.
    float* Depth();
    std::uint8_t* MaterialIds();
    std::uint16_t* ObjectIds();

    // Fault injection: the n-th call (counted from 0 over the storage's life) of that kind fails.
    void FailReadPixelsCall(int n);
    void FailPutPixelsCall(int n);
    // A failed QueryChannel answers null, as for a channel the frame lacks.
    void FailQueryChannelCall(int n);

    // The record of calls, in the order they were made. (No vector is handed out: it would be
    // freed by another runtime's allocator.)
    std::size_t CallCount() const;
    const HostCall& Call(std::size_t index) const;
    void ClearCalls();
    // Readies the storage for another frame of its size: the channels are dropped (their arrays
    // kept for the next Add) and the record of calls cleared. Colour keeps what it holds.
    void Reuse();

private:
    bool RowSpanValid(int x, int y, int count) const;
    BMM_Color_64* RowSpan(int x, int y);
    std::size_t ChannelLength() const;

    int width;
    int height;
    std::unique_ptr<BMM_Color_64[]> pixels;
    std::unique_ptr<float[]> depth;
    std::unique_ptr<std::uint8_t[]> materialIds;
    std::unique_ptr<std::uint16_t[]> objectIds;
    bool hasDepth = false;
    bool hasMaterialIds = false;
    bool hasObjectIds = false;
    int readCalls = 0;
    int putCalls = 0;
    int failReadAt = NEVER;
    int failPutAt = NEVER;
    int queryCalls = 0;
    int failQueryAt = NEVER;
    std::vector<HostCall> calls;
};
