#include "memory_storage.h"

#include <algorithm>

namespace {

// An array of `length` elements, taken from `held` when it already has one, filled with zeros
// when `start` asks for it.
template <typename T>
T* ChannelArray(std::unique_ptr<T[]>& held, std::size_t length, MemoryStorage::Start start)
{
    if (held == nullptr) held.reset(new T[length]); // uninitialised: filled below or by the caller
    if (start == MemoryStorage::Start::ZEROED) std::fill_n(held.get(), length, T{});
    return held.get();
}

} // namespace

MemoryStorage::MemoryStorage(std::uint16_t width, std::uint16_t height, Start start)
    : BitmapStorage(BitmapInfo(width, height)), width(width), height(height)
{
    // Never empty, so that a frame with no pixels still has an address for its colour.
    ChannelArray(pixels, std::max<std::size_t>(PixelCount(), 1), start);
    // Room for one render pass's calls (a read and a write a row, a few queries), so that keeping
    // the record does not reallocate inside a pass that is being timed.
    calls.reserve(2 * static_cast<std::size_t>(height) + 8);
}

MemoryStorage::~MemoryStorage() = default;

bool MemoryStorage::RowSpanValid(int x, int y, int count) const
{
    return y >= 0 && y < height && x >= 0 && count >= 0 && count <= width - x;
}

// By pointer arithmetic, not indexing: a frame with no columns has no element to index, and its
// rows are still read and written (with a count of 0).
BMM_Color_64* MemoryStorage::RowSpan(int x, int y)
{
    return pixels.get() + static_cast<std::size_t>(y) * width + x;
}

int MemoryStorage::ReadPixels(int x, int y, int count, BMM_Color_64* out)
{
    calls.push_back({HostCallKind::ReadPixels, x, y, count, 0});
    const bool fail = readCalls++ == failReadAt;
    if (fail || out == nullptr || !RowSpanValid(x, y, count)) return 0;
    std::copy_n(RowSpan(x, y), count, out);
    return 1;
}

int MemoryStorage::WritePixels(int x, int y, int count, const BMM_Color_64* in)
{
    calls.push_back({HostCallKind::PutPixels, x, y, count, 0});
    const bool fail = putCalls++ == failPutAt;
    if (fail || in == nullptr || !RowSpanValid(x, y, count)) return 0;
    std::copy_n(in, count, RowSpan(x, y));
    return 1;
}

void* MemoryStorage::QueryChannel(std::uint32_t channel, std::uint32_t* outValue)
{
    calls.push_back({HostCallKind::QueryChannel, 0, 0, 0, channel});
    if (outValue != nullptr) *outValue = 0;
    if (queryCalls++ == failQueryAt) return nullptr;
    switch (channel) {
    case CHANNEL_DEPTH: return Depth();
    case CHANNEL_MATERIAL_ID: return MaterialIds();
    case CHANNEL_OBJECT_ID: return ObjectIds();
    default: return nullptr;
    }
}

// A channel of an empty frame still has an address: a null answer would mean the channel is missing.
std::size_t MemoryStorage::ChannelLength() const { return PixelCount() > 0 ? PixelCount() : 1; }

BMM_Color_64* MemoryStorage::Pixels() { return pixels.get(); }

float* MemoryStorage::AddDepth(Start start)
{
    hasDepth = true;
    return ChannelArray(depth, ChannelLength(), start);
}

std::uint8_t* MemoryStorage::AddMaterialIds(Start start)
{
    hasMaterialIds = true;
    return ChannelArray(materialIds, ChannelLength(), start);
}

std::uint16_t* MemoryStorage::AddObjectIds(Start start)
{
    hasObjectIds = true;
    return ChannelArray(objectIds, ChannelLength(), start);
}

float* MemoryStorage::Depth() { return hasDepth ? depth.get() : nullptr; }

std::uint8_t* MemoryStorage::MaterialIds() { return hasMaterialIds ? materialIds.get() : nullptr; }

std::uint16_t* MemoryStorage::ObjectIds() { return hasObjectIds ? objectIds.get() : nullptr; }

void MemoryStorage::FailReadPixelsCall(int n) { failReadAt = n; }

void MemoryStorage::FailPutPixelsCall(int n) { failPutAt = n; }

void MemoryStorage::FailQueryChannelCall(int n) { failQueryAt = n; }

std::size_t MemoryStorage::CallCount() const { return calls.size(); }

const HostCall& MemoryStorage::Call(std::size_t index) const { return calls.at(index); }

void MemoryStorage::ClearCalls() { calls.clear(); }

void MemoryStorage::Reuse()
{
    hasDepth = hasMaterialIds = hasObjectIds = false;
    calls.clear();
}
