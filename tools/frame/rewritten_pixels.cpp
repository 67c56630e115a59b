#include "frame/rewritten_pixels.h"

#include <algorithm>

namespace {

// Red differs from green: never a grey the filter writes.
constexpr BMM_Color_64 MARKER = {65535, 0, 65535, 0};

bool IsMarker(const BMM_Color_64& pixel)
{
    return pixel.r == MARKER.r && pixel.g == MARKER.g && pixel.b == MARKER.b && pixel.a == MARKER.a;
}

} // namespace

std::vector<bool> RenderFindingRewritten(FilterRunner& runner, MemoryStorage& storage)
{
    BMM_Color_64* pixels = storage.Pixels();
    const std::size_t count = storage.PixelCount();
    const std::vector<BMM_Color_64> given(pixels, pixels + count);
    std::fill_n(pixels, count, MARKER);
    runner.Render(storage);
    std::vector<bool> rewritten(count);
    for (std::size_t i = 0; i < count; ++i) {
        rewritten[i] = !IsMarker(pixels[i]);
        if (!rewritten[i]) pixels[i] = given[i];
    }
    return rewritten;
}
