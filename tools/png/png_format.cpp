#include "png/png_format.h"

namespace deepglass {

PngFormat WithCompression(PngFormat format, PngCompression compression)
{
    format.filters = PNG_ROW_UP;
    format.level = compression == PngCompression::FAST ? 2 : compression == PngCompression::SMALL ? 10 : 7;
    return format;
}

} // namespace deepglass
