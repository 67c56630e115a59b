#include "host/rewritten_pixels.h"

namespace {

// Red differs from green: never a grey the filter writes.
constexpr BMM_Color_64 MARKER = {65535, 0, 65535, 0};

bool IsMarker(const BMM_Color_64& pixel)
{
    return pixel.r == MARKER.r && pixel.g == MARKER.g && pixel.b == MARKER.b && pixel.a == MARKER.a;
}

} // namespace

std::vector<bool> RenderFindingRewritten(FilterRunner& runner, HostFrame& frame)
{
    std::vector<BMM_Color_64> given(frame.colour.size(), MARKER);
    given.swap(frame.colour);
    try {
        runner.Render(frame);
    } catch (...) {
        frame.colour.swap(given);
        throw;
    }
    std::vector<bool> rewritten(frame.colour.size());
    for (std::size_t i = 0; i < frame.colour.size(); ++i) {
        rewritten[i] = !IsMarker(frame.colour[i]);
        if (!rewritten[i]) frame.colour[i] = given[i];
    }
    return rewritten;
}
