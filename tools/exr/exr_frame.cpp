#include "exr/exr_frame.h"

namespace deepglass {

const FrameChannel* ExrFrame::Find(const std::string& name) const
{
    for (const FrameChannel& channel : channels)
        if (channel.name == name) return &channel;
    return nullptr;
}

} // namespace deepglass
