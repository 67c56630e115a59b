#include "frame/rewritten_pixels.h"
#include "image/level.h"

#include <algorithm>

namespace deepglass {

namespace {

// Red differs from green: never a grey the filter writes.
constexpr BMM_Color_64 MARKER = {LEVEL_FULL, 0, LEVEL_FULL, 0};

bool IsMarker(const BMM_Color_64& pixel)
{
    return pixel.r == MARKER.r && pixel.g == MARKER.g && pixel.b == MARKER.b && pixel.a == MARKER.a;
}

} // namespace

std::vector<bool> RenderFindingRewritten(FilterRunner& runner, MemoryStorage& storage,
                                         std::size_t framePixels)
{
    BMM_Color_64* pixels = storage.Pixels();
    std::fill_n(pixels, storage.PixelCount(), MARKER);
    runner.Render(storage);
    std::vector<bool> rewritten(framePixels);
    for (std::size_t i = 0; i < framePixels; ++i) rewritten[i] = !IsMarker(pixels[i]);
    return rewritten;
}

} // namespace deepglass
