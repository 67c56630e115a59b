#include "exr/file_memory.h"

#include "exr/exr_layout.h"

namespace deepglass {

void AddWholeFile(FrameShape& shape, const ExrFile& layout, std::size_t views)
{
    shape.heldSamples = shape.halfSamples = shape.exrBuffers = 0;
    for (const ExrPart& part : layout.parts) {
        const ExrFrame& frame = part.frame;
        for (const FrameChannel& channel : frame.channels) {
            const std::uint64_t samples = static_cast<std::uint64_t>(frame.Width() / channel.xSampling) *
                                          static_cast<std::uint64_t>(frame.Height() / channel.ySampling);
            shape.heldSamples += samples;
            if (channel.type == SampleType::HALF) shape.halfSamples += samples;
        }
        if (part.deep) shape.heldSamples += frame.PixelCount();
        shape.exrBuffers += OpenExrBufferBytes(part.chunkBytes, ExrDecodeThreads());
    }
    shape.views = views;
}

} // namespace deepglass
