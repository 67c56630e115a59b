// The filter's render operation: the frame's colour is copied into a working image, the grey depth
// picture is drawn over the pixels the mode selects, and the whole frame is written back.
#include "deepglass_filter.h"
#include "depth_to_grey.h"
#include "work_image.h"

int DeepglassFilter::Render(std::uint32_t)
{
    if (sourceBitmap == nullptr) return 0;
    WorkImage image(sourceBitmap);
    // Without every row of the frame in hand nothing may be written back: the host's frame stays
    // exactly as it was rendered.
    if (!image.IsComplete()) return 0;
    if (image.LoadChannel(CHANNEL_DEPTH) != 1) return 0;
    // The mapping runs inside the write-back, a row at a time (see WorkImage::WriteBack).
    switch (config.mode) {
    case MODE_WHOLE_IMAGE: return image.WriteBack(GreyMapping(image.LoadedChannels(), SELECT_ALL)) ? 1 : 0;
    case MODE_MATERIAL_ID:
        if (image.LoadChannel(CHANNEL_MATERIAL_ID) == 1)
            return image.WriteBack(GreyMapping(image.LoadedChannels(), config.materialId)) ? 1 : 0;
        break;
    case MODE_OBJECT_ID:
        if (image.LoadChannel(CHANNEL_OBJECT_ID) == 1)
            return image.WriteBack(GreyMapping(image.LoadedChannels(), config.objectId)) ? 1 : 0;
        break;
    default: break; // an unknown mode from a stored record: the frame goes back unchanged
    }
    return image.WriteBack() ? 1 : 0;
}
