// The working copy of the host's frame for one render pass: the colour pixels copied in row by
// row, the auxiliary channels borrowed from the host by pointer, and the whole frame written back
// row by row at the end. Only WriteBack changes the host's bitmap.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bitmap.h"
#include "depth_to_grey.h"

struct MappingKernels;

class WorkImage {
public:
    // Reads the frame's size and copies every row of its colour in.
    explicit WorkImage(Bitmap* bitmap);
    ~WorkImage();
    WorkImage(const WorkImage&) = delete;
    WorkImage& operator=(const WorkImage&) = delete;

    // False when the pixel array could not be had, or a row was not delivered: then the pass must
    // not map or write back, so that the host's frame stays as it was rendered.
    bool IsComplete() const { return pixels != nullptr && allRowsRead; }

    // Attaches one auxiliary channel (CHANNEL_DEPTH, CHANNEL_MATERIAL_ID or CHANNEL_OBJECT_ID);
    // 1 when the host has it, else 0. Every value is recorded in the channel set.
    int LoadChannel(std::uint32_t bit);

    // Writes every row back into the host's bitmap; true when the host stored them all.
    bool WriteBack();
    // MapDepthToGrey(selectionId) and then WriteBack(), with the same pixels and the same host
    // calls, but each row is mapped just before it is written back, while it is still in cache.
    bool WriteBackGrey(int selectionId);

    // The grey picture of the depth channel over the pixels whose ID equals selectionId, or over
    // every pixel for SELECT_ALL. Needs the depth channel.
    void MapDepthToGrey(int selectionId);

    void ComputeDepthRange(const float* depthValues, float& minDepth, float& maxDepth,
                           float& depthRange) const;
    // The depth at (x, y); 0 outside the image or without a depth channel.
    float GetDepth(int x, int y) const;
    // The ID at (x, y) from the loaded ID channel (material effects first); 0 outside the image.
    int GetId(int x, int y) const;
    // Stores colour at the truncated coordinates; nothing outside the image.
    void PutPixel(float x, float y, BMM_Color_64 colour);

    int Width() const { return width; }
    int Height() const { return height; }
    std::uint32_t Channels() const { return channels; }
    const BMM_Color_64* Pixels() const { return pixels; }
    const float* Depth() const { return depth; }
    const std::uint8_t* MaterialIds() const { return materialIds; }
    const std::uint16_t* ObjectIds() const { return objectIds; }

private:
    // Which pixel loop the mapping runs for a selection, on which IDs, with the frame's range.
    struct GreyMapping {
        enum class Kind { NONE, ALL, MATERIAL, OBJECT } kind;
        const MappingKernels* kernels;
        DepthRange range;
        int wanted;
    };

    BMM_Color_64* ReadFrame();
    bool WriteRows(const GreyMapping& mapping);
    GreyMapping PlanMapping(int selectionId) const;
    void MapSpan(const GreyMapping& mapping, std::size_t first, std::size_t count);
    bool Contains(int x, int y) const { return x >= 0 && x < width && y >= 0 && y < height; }

    Bitmap* bitmap;
    BMM_Color_64* pixels = nullptr;
    const float* depth = nullptr;
    const std::uint16_t* objectIds = nullptr;
    const std::uint8_t* materialIds = nullptr;
    std::uint32_t channels = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool allRowsRead = false;
};
