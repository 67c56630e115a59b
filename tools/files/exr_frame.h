// One EXR frame as the tool holds it: both windows and every channel's samples, 32 bits a sample,
// so that an output EXR can keep the channels the filter does not touch.
#pragma once

#include <ImfForward.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A rectangle of pixel coordinates, both corners inclusive, as EXR stores its windows.
struct PixelBox {
    int minX = 0;
    int minY = 0;
    int maxX = -1;
    int maxY = -1;

    std::int64_t Width() const { return std::int64_t{maxX} - minX + 1; }
    std::int64_t Height() const { return std::int64_t{maxY} - minY + 1; }
    bool operator==(const PixelBox&) const = default;
};

enum class SampleType { UINT, HALF, FLOAT };

// A channel's samples over the data window, row-major. UINT channels hold their values as they
// are; HALF and FLOAT channels hold the bits of a float (HALF converts to float and back exactly).
// A subsampled channel holds one sample per xSampling x ySampling pixels. A channel the reader
// was told to leave unread has no samples.
struct FrameChannel {
    std::string name;
    SampleType type = SampleType::FLOAT;
    std::vector<std::uint32_t> samples;
    int xSampling = 1;
    int ySampling = 1;

    float FloatAt(std::size_t index) const;
};

struct ExrFrame {
    PixelBox dataWindow;
    PixelBox displayWindow;
    bool tiled = false;
    std::vector<FrameChannel> channels; // sorted by name, as EXR lists them
    // The header the frame was read with, so that a written copy keeps its attributes; null for
    // frames the tool makes itself.
    std::shared_ptr<const Imf::Header> header;

    int Width() const { return static_cast<int>(dataWindow.Width()); }
    int Height() const { return static_cast<int>(dataWindow.Height()); }
    std::size_t PixelCount() const { return static_cast<std::size_t>(Width()) * Height(); }
    // The channel of that name, or null.
    const FrameChannel* Find(const std::string& name) const;
};

const char* SampleTypeName(SampleType type);
