// The mapping's vector loops, written once over a lane type L that supplies the instructions of one
// instruction set (mapping_sse2.cpp, mapping_avx2.cpp):
//
//   WIDTH; Floats, Doubles, Ints   pixels in a group; that many floats, half as many doubles, and
//                                  32-bit integers; Doubles take + - * / as vector operators
//   Magnitudes(depth)              |depth[0 .. WIDTH)|
//   Splat, Min, Max, And, Or, Store    lane by lane, with the operand order of the instructions
//   Below(a, b), NotBelow(a, b)    all ones where a < b, where !(a < b) (so also where one is NaN)
//   AllSet(mask)                   every lane of a comparison is all ones
//   Halves(floats)                 the two halves as doubles, in the order PixelsOf wants them
//   Truncate(doubles)              to 32-bit integers, toward zero
//   Pixels, PixelsOf(low, high), ZeroPixels(), Store(pixels, grey)   a group of grey pixels
//   Matches(ids, wanted)           the selection of a group: .bits, one a pixel; .all, all of them
//   Blend(pixels, grey, selection) stores the grey pixels that are selected
//
// The grey formula is evaluated exactly as GreyLevel does, lane by lane in double precision; the
// tricks are only in the bookkeeping: a depth that takes no part is turned into a NaN before the
// formula, so that the clamp (which sends NaN to 0) gives it its 0 with no extra mask, and a group
// of such depths (the background) skips the formula.
//
// A file that instantiates the loops for an instruction set wider than the module's baseline
// includes this header only inside the region compiled for that set: the loops are then compiled
// for it there, and nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>

#include "depth_to_grey.h"
#include "mapping_kernels.h"

namespace mapping_loops {

template <class L>
struct GreyConstants {
    typename L::Floats limit = L::Splat(DEPTH_LIMIT);
    typename L::Doubles one = L::Splat(1.0);
    typename L::Doubles scale = L::Splat(static_cast<double>(GREY_SCALE));
    typename L::Doubles zero = L::Splat(0.0);
    typename L::Doubles minDepth;
    typename L::Doubles depthRange;

    explicit GreyConstants(DepthRange range)
        : minDepth(L::Splat(static_cast<double>(range.minDepth))),
          depthRange(L::Splat(static_cast<double>(range.depthRange)))
    {
    }
};

// The grey level of half a group of magnitudes; NaN gives 0.
template <class L>
typename L::Ints GreyLevels(typename L::Doubles a, const GreyConstants<L>& k)
{
    const typename L::Doubles product = (k.one - (a - k.minDepth) / k.depthRange) * k.scale;
    // max answers its second operand when the first is NaN: NaN and <= 0 become 0.
    return L::Truncate(L::Min(L::Max(product, k.zero), k.scale));
}

// The grey pixels of a group of depths.
template <class L>
typename L::Pixels GreyOf(const float* depth, const GreyConstants<L>& k)
{
    const typename L::Floats magnitude = L::Magnitudes(depth);
    const typename L::Floats excluded = L::NotBelow(magnitude, k.limit); // also true for NaN
    if (L::AllSet(excluded)) return L::ZeroPixels();
    const auto halves = L::Halves(L::Or(magnitude, excluded)); // all ones: a NaN
    return L::PixelsOf(GreyLevels<L>(halves.low, k), GreyLevels<L>(halves.high, k));
}

template <class L>
DepthRange ComputeRange(const float* depth, std::size_t count)
{
    constexpr std::size_t W = L::WIDTH;
    const typename L::Floats limit = L::Splat(DEPTH_LIMIT);
    typename L::Floats minima[2] = {limit, limit};
    typename L::Floats maxima[2] = {L::Splat(0.0f), L::Splat(0.0f)};
    std::size_t i = 0;
    for (; i + 2 * W <= count; i += 2 * W) {
        for (std::size_t half = 0; half < 2; ++half) {
            const typename L::Floats magnitude = L::Magnitudes(depth + i + W * half);
            // min answers its second operand when the first is NaN; magnitudes at or above the
            // limit never go below the starting minimum, which is the limit.
            minima[half] = L::Min(magnitude, minima[half]);
            maxima[half] = L::Max(maxima[half], L::And(L::Below(magnitude, limit), magnitude));
        }
    }
    float lanesMin[W];
    float lanesMax[W];
    L::Store(lanesMin, L::Min(minima[0], minima[1]));
    L::Store(lanesMax, L::Max(maxima[0], maxima[1]));
    DepthRange lanes = ComputeDepthRange(depth + i, count - i); // the last count % (2 * W) depths
    for (std::size_t lane = 0; lane < W; ++lane) {
        if (lanes.minDepth > lanesMin[lane]) lanes.minDepth = lanesMin[lane];
        if (lanes.maxDepth < lanesMax[lane]) lanes.maxDepth = lanesMax[lane];
    }
    return {lanes.minDepth, lanes.maxDepth, lanes.maxDepth - lanes.minDepth};
}

template <class L>
void MapAll(BMM_Color_64* pixels, const float* depth, std::size_t count, DepthRange range)
{
    const GreyConstants<L> k(range);
    std::size_t i = 0;
    for (; i + L::WIDTH <= count; i += L::WIDTH) L::Store(pixels + i, GreyOf<L>(depth + i, k));
    MapAllToGrey(pixels + i, depth + i, count - i, range);
}

template <class L, typename Id>
void MapSelected(BMM_Color_64* pixels, const float* depth, const Id* ids, std::size_t count, DepthRange range,
                 Id wanted)
{
    const GreyConstants<L> k(range);
    std::size_t i = 0;
    for (; i + L::WIDTH <= count; i += L::WIDTH) {
        const auto selection = L::Matches(ids + i, wanted);
        if (selection.bits == 0) continue;
        const typename L::Pixels grey = GreyOf<L>(depth + i, k);
        if (selection.bits == selection.all) {
            L::Store(pixels + i, grey);
        } else {
            L::Blend(pixels + i, grey, selection);
        }
    }
    MapSelectedToGrey(pixels + i, depth + i, ids + i, count - i, range, wanted);
}

// The variant's table; name as the tests and benchmarks call it.
template <class L>
constexpr MappingKernels KernelsOf(const char* name)
{
    return {name, ComputeRange<L>, MapAll<L>, MapSelected<L, std::uint8_t>, MapSelected<L, std::uint16_t>};
}

} // namespace mapping_loops
