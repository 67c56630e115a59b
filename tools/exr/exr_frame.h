// One part of an EXR file as the tool holds it: both windows, its header and every channel's
// samples, so that an output EXR can keep the channels the filter does not touch.
#pragma once

#include <ImfForward.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/frame_channel.h"
#include "image/pixel_box.h"

namespace deepglass {

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

} // namespace deepglass
