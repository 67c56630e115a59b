// A rectangle of pixel coordinates, both corners inclusive, as EXR stores its windows.
#pragma once

#include <cstdint>

namespace deepglass {

struct PixelBox {
    int minX = 0;
    int minY = 0;
    int maxX = -1;
    int maxY = -1;

    std::int64_t Width() const { return std::int64_t{maxX} - minX + 1; }
    std::int64_t Height() const { return std::int64_t{maxY} - minY + 1; }
    bool operator==(const PixelBox&) const = default;
};

} // namespace deepglass
