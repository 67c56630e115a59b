#include "work_image.h"

#include <cstddef>
#include <cstdlib>
#include <limits>

namespace {

int FrameWidth(const Bitmap* bitmap)
{
    BitmapStorage* storage = bitmap->Storage();
    return storage != nullptr ? storage->Info().Width() : 0;
}

int FrameHeight(const Bitmap* bitmap)
{
    BitmapStorage* storage = bitmap->Storage();
    return storage != nullptr ? storage->Info().Height() : 0;
}

std::size_t PixelCount(int width, int height)
{
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

} // namespace

WorkImage::WorkImage(Bitmap* bitmap) : bitmap(bitmap), width(FrameWidth(bitmap)), height(FrameHeight(bitmap))
{
    pixels = ReadFrame();
}

WorkImage::~WorkImage() { std::free(pixels); }

BMM_Color_64* WorkImage::ReadFrame()
{
    const int frameWidth = FrameWidth(bitmap);
    const int frameHeight = FrameHeight(bitmap);
    const std::size_t count = PixelCount(frameWidth, frameHeight);
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(BMM_Color_64)) return nullptr;
    // calloc: zero-filled, and a failed allocation is a null pointer rather than an exception.
    // An empty frame still gets an array, so that "no array" always means "out of memory".
    auto* frame = static_cast<BMM_Color_64*>(std::calloc(count > 0 ? count : 1, sizeof(BMM_Color_64)));
    if (frame == nullptr) return nullptr;
    allRowsRead = true;
    BitmapStorage* storage = bitmap->Storage();
    for (int y = 0; y < frameHeight; ++y) {
        BMM_Color_64* row = frame + PixelCount(frameWidth, y);
        if (storage == nullptr || storage->ReadPixels(0, y, frameWidth, row) == 0) allRowsRead = false;
    }
    return frame;
}

int WorkImage::LoadChannel(std::uint32_t bit)
{
    channels |= bit;
    if (bit != CHANNEL_DEPTH && bit != CHANNEL_MATERIAL_ID && bit != CHANNEL_OBJECT_ID) return 0;
    BitmapStorage* storage = bitmap->Storage();
    std::uint32_t outValue = 0; // the host's to fill; not used here
    void* found = storage != nullptr ? storage->QueryChannel(bit, &outValue) : nullptr;
    switch (bit) {
    case CHANNEL_DEPTH: depth = static_cast<const float*>(found); break;
    case CHANNEL_MATERIAL_ID: materialIds = static_cast<const std::uint8_t*>(found); break;
    default: objectIds = static_cast<const std::uint16_t*>(found); break;
    }
    return found != nullptr ? 1 : 0;
}

bool WorkImage::WriteBack() { return WriteRows(nullptr); }

bool WorkImage::WriteBack(const GreyMapping& mapping) { return WriteRows(&mapping); }

bool WorkImage::WriteRows(const GreyMapping* mapping)
{
    if (pixels == nullptr) return false;
    const int frameWidth = FrameWidth(bitmap);
    const int frameHeight = FrameHeight(bitmap);
    // The mapping works on the size read at construction; a frame that has since changed size
    // (which the host does not do within a pass) is not mapped rather than mapped out of bounds.
    const bool mapRows = mapping != nullptr && frameWidth == width && frameHeight == height;
    bool allStored = true;
    // Every row is written, changed or not: the host expects the whole frame back.
    for (int y = 0; y < frameHeight; ++y) {
        const std::size_t first = PixelCount(frameWidth, y);
        if (mapRows) mapping->Map(pixels, first, static_cast<std::size_t>(frameWidth));
        if (bitmap->PutPixels(0, y, frameWidth, pixels + first) == 0) allStored = false;
    }
    return allStored;
}

DepthChannels WorkImage::LoadedChannels() const
{
    return {depth, materialIds, objectIds, channels, PixelCount(width, height)};
}
