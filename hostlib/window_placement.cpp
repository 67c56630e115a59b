#include "window_placement.h"

namespace {

// The start of a span of `size` centred over [first, last), kept within [low, high) where it fits.
int CentredStart(long long size, long long first, long long last, long long low, long long high)
{
    long long start = first + (last - first - size) / 2;
    if (start + size > high) start = high - size;
    if (start < low) start = low;
    return static_cast<int>(start);
}

} // namespace

PlacementPoint CentredPosition(PlacementRect window, PlacementRect over, PlacementRect workArea)
{
    const long long width = static_cast<long long>(window.right) - window.left;
    const long long height = static_cast<long long>(window.bottom) - window.top;
    return {CentredStart(width, over.left, over.right, workArea.left, workArea.right),
            CentredStart(height, over.top, over.bottom, workArea.top, workArea.bottom)};
}
