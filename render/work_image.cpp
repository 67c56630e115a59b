#include "work_image.h"

#include <cstddef>
#include <cstdlib>
#include <limits>

#include "mapping_kernels.h"

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

bool WorkImage::WriteBack() { return WriteRows({GreyMapping::Kind::NONE, nullptr, {}, 0}); }

bool WorkImage::WriteBackGrey(int selectionId) { return WriteRows(PlanMapping(selectionId)); }

bool WorkImage::WriteRows(const GreyMapping& mapping)
{
    if (pixels == nullptr) return false;
    const int frameWidth = FrameWidth(bitmap);
    const int frameHeight = FrameHeight(bitmap);
    // The mapping works on the size read at construction; a frame that has since changed size
    // (which the host does not do within a pass) is not mapped rather than mapped out of bounds.
    const bool mapRows = frameWidth == width && frameHeight == height;
    bool allStored = true;
    // Every row is written, changed or not: the host expects the whole frame back.
    for (int y = 0; y < frameHeight; ++y) {
        const std::size_t first = PixelCount(frameWidth, y);
        if (mapRows) MapSpan(mapping, first, static_cast<std::size_t>(frameWidth));
        if (bitmap->PutPixels(0, y, frameWidth, pixels + first) == 0) allStored = false;
    }
    return allStored;
}

void WorkImage::MapDepthToGrey(int selectionId)
{
    MapSpan(PlanMapping(selectionId), 0, PixelCount(width, height));
}

WorkImage::GreyMapping WorkImage::PlanMapping(int selectionId) const
{
    using Kind = GreyMapping::Kind;
    Kind kind = Kind::NONE;
    if (selectionId == SELECT_ALL) {
        kind = Kind::ALL;
    } else if ((channels & CHANNEL_MATERIAL_ID) != 0 && materialIds != nullptr) {
        if (selectionId >= 0 && selectionId <= std::numeric_limits<std::uint8_t>::max())
            kind = Kind::MATERIAL;
    } else if ((channels & CHANNEL_MATERIAL_ID) == 0 && (channels & CHANNEL_OBJECT_ID) != 0 &&
               objectIds != nullptr) {
        if (selectionId >= 0 && selectionId <= std::numeric_limits<std::uint16_t>::max()) kind = Kind::OBJECT;
    } else if (selectionId == 0) {
        kind = Kind::ALL; // without an ID array every pixel's ID reads as 0
    }
    GreyMapping mapping{kind, &ChosenMappingKernels(), {}, selectionId};
    // A mapping that selects nothing changes nothing, so it needs no range either.
    if (kind != Kind::NONE) mapping.range = mapping.kernels->computeRange(depth, PixelCount(width, height));
    return mapping;
}

void WorkImage::MapSpan(const GreyMapping& mapping, std::size_t first, std::size_t count)
{
    const MappingKernels* kernels = mapping.kernels;
    switch (mapping.kind) {
    case GreyMapping::Kind::NONE: break;
    case GreyMapping::Kind::ALL: kernels->mapAll(pixels + first, depth + first, count, mapping.range); break;
    case GreyMapping::Kind::MATERIAL:
        kernels->mapMaterial(pixels + first, depth + first, materialIds + first, count, mapping.range,
                             static_cast<std::uint8_t>(mapping.wanted));
        break;
    case GreyMapping::Kind::OBJECT:
        kernels->mapObject(pixels + first, depth + first, objectIds + first, count, mapping.range,
                           static_cast<std::uint16_t>(mapping.wanted));
        break;
    }
}

void WorkImage::ComputeDepthRange(const float* depthValues, float& minDepth, float& maxDepth,
                                  float& depthRange) const
{
    const DepthRange range = ChosenMappingKernels().computeRange(depthValues, PixelCount(width, height));
    minDepth = range.minDepth;
    maxDepth = range.maxDepth;
    depthRange = range.depthRange;
}

float WorkImage::GetDepth(int x, int y) const
{
    if (!Contains(x, y) || depth == nullptr) return 0.0f;
    return depth[PixelCount(width, y) + static_cast<std::size_t>(x)];
}

int WorkImage::GetId(int x, int y) const
{
    if (!Contains(x, y)) return 0;
    const std::size_t index = PixelCount(width, y) + static_cast<std::size_t>(x);
    if ((channels & CHANNEL_MATERIAL_ID) != 0) return materialIds != nullptr ? materialIds[index] : 0;
    if ((channels & CHANNEL_OBJECT_ID) != 0) return objectIds != nullptr ? objectIds[index] : 0;
    return 0;
}

void WorkImage::PutPixel(float x, float y, BMM_Color_64 colour)
{
    // Written as "inside" tests so that a coordinate that is not a number writes nothing.
    if (!(x >= 0.0f && x < static_cast<float>(width) && y >= 0.0f && y < static_cast<float>(height))) {
        return;
    }
    const std::size_t index =
        PixelCount(width, static_cast<int>(y)) + static_cast<std::size_t>(static_cast<int>(x));
    pixels[index] = colour;
}
