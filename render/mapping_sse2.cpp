// The mapping four pixels at a time with SSE2, which every x86-64 processor has.
//
// The grey formula is evaluated exactly as GreyLevel does, lane by lane in double precision; the
// tricks are only in the bookkeeping: a depth that takes no part is turned into a NaN before the
// formula, so that the clamp (which sends NaN to 0) gives it its 0 with no extra mask, and a
// group of four such depths (the background) skips the formula.
#include <emmintrin.h>

#include <cstring>

#include "mapping_kernels.h"

namespace {

struct GreyConstants {
    __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    __m128 limit = _mm_set1_ps(DEPTH_LIMIT);
    __m128d one = _mm_set1_pd(1.0);
    __m128d scale = _mm_set1_pd(static_cast<double>(GREY_SCALE));
    __m128d zero = _mm_setzero_pd();
    __m128d minDepth;
    __m128d depthRange;

    explicit GreyConstants(DepthRange range)
        : minDepth(_mm_set1_pd(static_cast<double>(range.minDepth))),
          depthRange(_mm_set1_pd(static_cast<double>(range.depthRange)))
    {
    }
};

// Four grey pixels, two to a register.
struct GreyPixels {
    __m128i first;
    __m128i second;
};

// The grey level of two magnitudes as 32-bit integers in the low half; NaN gives 0.
__m128i GreyLevels2(__m128 magnitudes, const GreyConstants& k)
{
    const __m128d a = _mm_cvtps_pd(magnitudes);
    const __m128d quotient = _mm_div_pd(_mm_sub_pd(a, k.minDepth), k.depthRange);
    const __m128d product = _mm_mul_pd(_mm_sub_pd(k.one, quotient), k.scale);
    // max answers its second operand when the first is NaN: NaN and <= 0 become 0.
    const __m128d clamped = _mm_min_pd(_mm_max_pd(product, k.zero), k.scale);
    return _mm_cvttpd_epi32(clamped);
}

// The grey pixels of four depths.
GreyPixels GreyOf4(const float* depth, const GreyConstants& k)
{
    const __m128 magnitude = _mm_and_ps(_mm_loadu_ps(depth), k.absMask);
    const __m128 excluded = _mm_cmpnlt_ps(magnitude, k.limit); // also true for NaN
    if (_mm_movemask_ps(excluded) == 0xF) return {_mm_setzero_si128(), _mm_setzero_si128()};
    const __m128 formulaInput = _mm_or_ps(magnitude, excluded); // all ones: a NaN
    const __m128i levels = _mm_unpacklo_epi64(GreyLevels2(formulaInput, k),
                                              GreyLevels2(_mm_movehl_ps(formulaInput, formulaInput), k));
    const __m128i doubled = _mm_or_si128(levels, _mm_slli_epi32(levels, 16)); // g g in each lane
    return {_mm_unpacklo_epi32(doubled, doubled), _mm_unpackhi_epi32(doubled, doubled)};
}

void Store4(BMM_Color_64* pixels, GreyPixels grey)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), grey.first);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + 2), grey.second);
}

// Stores the grey pixels where the 32-bit lane of `selected` is all ones.
void Blend4(BMM_Color_64* pixels, GreyPixels grey, __m128i selected)
{
    auto* first = reinterpret_cast<__m128i*>(pixels);
    auto* second = reinterpret_cast<__m128i*>(pixels + 2);
    const __m128i maskFirst = _mm_unpacklo_epi32(selected, selected);
    const __m128i maskSecond = _mm_unpackhi_epi32(selected, selected);
    _mm_storeu_si128(first, _mm_or_si128(_mm_and_si128(maskFirst, grey.first),
                                         _mm_andnot_si128(maskFirst, _mm_loadu_si128(first))));
    _mm_storeu_si128(second, _mm_or_si128(_mm_and_si128(maskSecond, grey.second),
                                          _mm_andnot_si128(maskSecond, _mm_loadu_si128(second))));
}

// All ones in the 32-bit lane of each of four pixels whose ID equals wanted.
__m128i Matches4(const std::uint8_t* ids, std::uint8_t wanted)
{
    std::int32_t four;
    std::memcpy(&four, ids, sizeof four);
    const __m128i equal = _mm_cmpeq_epi8(_mm_cvtsi32_si128(four), _mm_set1_epi8(static_cast<char>(wanted)));
    const __m128i wide = _mm_unpacklo_epi8(equal, equal);
    return _mm_unpacklo_epi16(wide, wide);
}

__m128i Matches4(const std::uint16_t* ids, std::uint16_t wanted)
{
    const __m128i equal = _mm_cmpeq_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(ids)),
                                          _mm_set1_epi16(static_cast<short>(wanted)));
    return _mm_unpacklo_epi16(equal, equal);
}

DepthRange ComputeRangeSse2(const float* depth, std::size_t count)
{
    const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const __m128 limit = _mm_set1_ps(DEPTH_LIMIT);
    __m128 minima[2] = {limit, limit};
    __m128 maxima[2] = {_mm_setzero_ps(), _mm_setzero_ps()};
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        for (int half = 0; half < 2; ++half) {
            const __m128 magnitude = _mm_and_ps(_mm_loadu_ps(depth + i + 4 * half), absMask);
            // min answers its second operand when the first is NaN; magnitudes at or above the
            // limit never go below the starting minimum, which is the limit.
            minima[half] = _mm_min_ps(magnitude, minima[half]);
            maxima[half] = _mm_max_ps(maxima[half], _mm_and_ps(_mm_cmplt_ps(magnitude, limit), magnitude));
        }
    }
    float lanesMin[4];
    float lanesMax[4];
    _mm_storeu_ps(lanesMin, _mm_min_ps(minima[0], minima[1]));
    _mm_storeu_ps(lanesMax, _mm_max_ps(maxima[0], maxima[1]));
    DepthRange lanes = ComputeDepthRange(depth + i, count - i); // the last count % 8 depths
    for (int lane = 0; lane < 4; ++lane) {
        if (lanes.minDepth > lanesMin[lane]) lanes.minDepth = lanesMin[lane];
        if (lanes.maxDepth < lanesMax[lane]) lanes.maxDepth = lanesMax[lane];
    }
    return {lanes.minDepth, lanes.maxDepth, lanes.maxDepth - lanes.minDepth};
}

void MapAllSse2(BMM_Color_64* pixels, const float* depth, std::size_t count, DepthRange range)
{
    const GreyConstants k(range);
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) Store4(pixels + i, GreyOf4(depth + i, k));
    MapAllToGrey(pixels + i, depth + i, count - i, range);
}

template <typename Id>
void MapSelectedSse2(BMM_Color_64* pixels, const float* depth, const Id* ids, std::size_t count,
                     DepthRange range, Id wanted)
{
    const GreyConstants k(range);
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i selected = Matches4(ids + i, wanted);
        const int bits = _mm_movemask_ps(_mm_castsi128_ps(selected));
        if (bits == 0) continue;
        const GreyPixels grey = GreyOf4(depth + i, k);
        if (bits == 0xF) {
            Store4(pixels + i, grey);
        } else {
            Blend4(pixels + i, grey, selected);
        }
    }
    MapSelectedToGrey(pixels + i, depth + i, ids + i, count - i, range, wanted);
}

void MapMaterialSse2(BMM_Color_64* pixels, const float* depth, const std::uint8_t* ids, std::size_t count,
                     DepthRange range, std::uint8_t wanted)
{
    MapSelectedSse2(pixels, depth, ids, count, range, wanted);
}

void MapObjectSse2(BMM_Color_64* pixels, const float* depth, const std::uint16_t* ids, std::size_t count,
                   DepthRange range, std::uint16_t wanted)
{
    MapSelectedSse2(pixels, depth, ids, count, range, wanted);
}

} // namespace

extern const MappingKernels KERNELS_SSE2 = {"sse2", ComputeRangeSse2, MapAllSse2, MapMaterialSse2,
                                            MapObjectSse2};
