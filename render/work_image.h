// The working copy of the host's frame for one render pass: the colour pixels copied in row by
// row, the auxiliary channels borrowed from the host by pointer, and the whole frame written back
// row by row at the end. Only WriteBack changes the host's bitmap.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bitmap.h"
#include "depth_to_grey.h"

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

    // Writes every row back into the host's bitmap; true when the host stored them all. With a
    // mapping, each row is mapped just before it is written back, while it is still in cache.
    bool WriteBack();
    bool WriteBack(const GreyMapping& mapping);

    // The loaded channels, as the mapping reads them.
    DepthChannels LoadedChannels() const;

private:
    BMM_Color_64* ReadFrame();
    bool WriteRows(const GreyMapping* mapping);

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
