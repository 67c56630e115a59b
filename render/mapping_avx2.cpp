// The mapping eight pixels at a time with AVX2, chosen at run time on processors that have it.
//
// Every function here carries the AVX2 target itself, and the file uses nothing inline from
// elsewhere that could be compiled with AVX2 into a copy shared with the rest of the module.
// The formula and its bookkeeping are those of the SSE2 variant (mapping_sse2.cpp).
#include <immintrin.h>

#include "mapping_kernels.h"

#define DEEPGLASS_AVX2 __attribute__((target("avx2")))

namespace {

struct GreyConstants {
    __m256 absMask;
    __m256 limit;
    __m256d one;
    __m256d scale;
    __m256d zero;
    __m256d minDepth;
    __m256d depthRange;
};

DEEPGLASS_AVX2 GreyConstants ConstantsFor(DepthRange range)
{
    return {_mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF)),
            _mm256_set1_ps(DEPTH_LIMIT),
            _mm256_set1_pd(1.0),
            _mm256_set1_pd(static_cast<double>(GREY_SCALE)),
            _mm256_setzero_pd(),
            _mm256_set1_pd(static_cast<double>(range.minDepth)),
            _mm256_set1_pd(static_cast<double>(range.depthRange))};
}

// Eight grey pixels, four to a register.
struct GreyPixels {
    __m256i first;
    __m256i second;
};

// The grey level of four magnitudes as 32-bit integers; NaN gives 0.
DEEPGLASS_AVX2 __m128i GreyLevels4(__m128 magnitudes, const GreyConstants& k)
{
    const __m256d a = _mm256_cvtps_pd(magnitudes);
    const __m256d quotient = _mm256_div_pd(_mm256_sub_pd(a, k.minDepth), k.depthRange);
    const __m256d product = _mm256_mul_pd(_mm256_sub_pd(k.one, quotient), k.scale);
    // max answers its second operand when the first is NaN: NaN and <= 0 become 0.
    const __m256d clamped = _mm256_min_pd(_mm256_max_pd(product, k.zero), k.scale);
    return _mm256_cvttpd_epi32(clamped);
}

DEEPGLASS_AVX2 GreyPixels GreyOf8(const float* depth, const GreyConstants& k)
{
    const __m256 magnitude = _mm256_and_ps(_mm256_loadu_ps(depth), k.absMask);
    const __m256 excluded = _mm256_cmp_ps(magnitude, k.limit, _CMP_NLT_UQ); // also true for NaN
    if (_mm256_movemask_ps(excluded) == 0xFF) return {_mm256_setzero_si256(), _mm256_setzero_si256()};
    const __m256 formulaInput = _mm256_or_ps(magnitude, excluded); // all ones: a NaN
    // Depth pairs in the order 0 1 4 5 | 2 3 6 7, so that the in-lane unpacking below puts the
    // pixels in order without a further cross-lane step.
    const __m256 paired = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(formulaInput), 0xD8));
    const __m256i levels = _mm256_set_m128i(GreyLevels4(_mm256_extractf128_ps(paired, 1), k),
                                            GreyLevels4(_mm256_castps256_ps128(paired), k));
    const __m256i doubled = _mm256_or_si256(levels, _mm256_slli_epi32(levels, 16)); // g g in each lane
    return {_mm256_unpacklo_epi32(doubled, doubled), _mm256_unpackhi_epi32(doubled, doubled)};
}

DEEPGLASS_AVX2 void Store8(BMM_Color_64* pixels, GreyPixels grey)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels), grey.first);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + 4), grey.second);
}

// Stores the grey pixels where the 64-bit lane of the masks is all ones.
DEEPGLASS_AVX2 void Blend8(BMM_Color_64* pixels, GreyPixels grey, __m256i maskFirst, __m256i maskSecond)
{
    auto* first = reinterpret_cast<__m256i*>(pixels);
    auto* second = reinterpret_cast<__m256i*>(pixels + 4);
    _mm256_storeu_si256(first, _mm256_blendv_epi8(_mm256_loadu_si256(first), grey.first, maskFirst));
    _mm256_storeu_si256(second, _mm256_blendv_epi8(_mm256_loadu_si256(second), grey.second, maskSecond));
}

// The selection of eight pixels: the comparison of their IDs, one element a pixel, and its
// byte mask, which is `all` when every pixel is selected.
struct Selection {
    __m128i equal;
    int bits;
    int all;
};

DEEPGLASS_AVX2 Selection Matches8(const std::uint8_t* ids, std::uint8_t wanted)
{
    const __m128i equal = _mm_cmpeq_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(ids)),
                                         _mm_set1_epi8(static_cast<char>(wanted)));
    return {equal, _mm_movemask_epi8(equal) & 0xFF, 0xFF};
}

DEEPGLASS_AVX2 Selection Matches8(const std::uint16_t* ids, std::uint16_t wanted)
{
    const __m128i equal = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(ids)),
                                          _mm_set1_epi16(static_cast<short>(wanted)));
    return {equal, _mm_movemask_epi8(equal), 0xFFFF};
}

DEEPGLASS_AVX2 void BlendSelected(BMM_Color_64* pixels, GreyPixels grey, Selection selection, std::uint8_t)
{
    Blend8(pixels, grey, _mm256_cvtepi8_epi64(selection.equal),
           _mm256_cvtepi8_epi64(_mm_srli_si128(selection.equal, 4)));
}

DEEPGLASS_AVX2 void BlendSelected(BMM_Color_64* pixels, GreyPixels grey, Selection selection, std::uint16_t)
{
    Blend8(pixels, grey, _mm256_cvtepi16_epi64(selection.equal),
           _mm256_cvtepi16_epi64(_mm_srli_si128(selection.equal, 8)));
}

DEEPGLASS_AVX2 DepthRange ComputeRangeAvx2(const float* depth, std::size_t count)
{
    const __m256 absMask = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    const __m256 limit = _mm256_set1_ps(DEPTH_LIMIT);
    __m256 minima[2] = {limit, limit};
    __m256 maxima[2] = {_mm256_setzero_ps(), _mm256_setzero_ps()};
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        for (int half = 0; half < 2; ++half) {
            const __m256 magnitude = _mm256_and_ps(_mm256_loadu_ps(depth + i + 8 * half), absMask);
            minima[half] = _mm256_min_ps(magnitude, minima[half]);
            maxima[half] = _mm256_max_ps(
                maxima[half], _mm256_and_ps(_mm256_cmp_ps(magnitude, limit, _CMP_LT_OQ), magnitude));
        }
    }
    const __m256 minimum = _mm256_min_ps(minima[0], minima[1]);
    const __m256 maximum = _mm256_max_ps(maxima[0], maxima[1]);
    float lanesMin[8];
    float lanesMax[8];
    _mm256_storeu_ps(lanesMin, minimum);
    _mm256_storeu_ps(lanesMax, maximum);
    DepthRange lanes = KERNELS_SSE2.computeRange(depth + i, count - i); // the last count % 16 depths
    for (int lane = 0; lane < 8; ++lane) {
        if (lanes.minDepth > lanesMin[lane]) lanes.minDepth = lanesMin[lane];
        if (lanes.maxDepth < lanesMax[lane]) lanes.maxDepth = lanesMax[lane];
    }
    return {lanes.minDepth, lanes.maxDepth, lanes.maxDepth - lanes.minDepth};
}

DEEPGLASS_AVX2 void MapAllAvx2(BMM_Color_64* pixels, const float* depth, std::size_t count, DepthRange range)
{
    const GreyConstants k = ConstantsFor(range);
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) Store8(pixels + i, GreyOf8(depth + i, k));
    KERNELS_SSE2.mapAll(pixels + i, depth + i, count - i, range);
}

// The last count % 8 pixels of a span, four at a time and then one at a time.
void MapSelectedTail(BMM_Color_64* pixels, const float* depth, const std::uint8_t* ids, std::size_t count,
                     DepthRange range, std::uint8_t wanted)
{
    KERNELS_SSE2.mapMaterial(pixels, depth, ids, count, range, wanted);
}

void MapSelectedTail(BMM_Color_64* pixels, const float* depth, const std::uint16_t* ids, std::size_t count,
                     DepthRange range, std::uint16_t wanted)
{
    KERNELS_SSE2.mapObject(pixels, depth, ids, count, range, wanted);
}

template <typename Id>
DEEPGLASS_AVX2 void MapSelectedAvx2(BMM_Color_64* pixels, const float* depth, const Id* ids,
                                    std::size_t count, DepthRange range, Id wanted)
{
    const GreyConstants k = ConstantsFor(range);
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const Selection selection = Matches8(ids + i, wanted);
        if (selection.bits == 0) continue;
        const GreyPixels grey = GreyOf8(depth + i, k);
        if (selection.bits == selection.all) {
            Store8(pixels + i, grey);
        } else {
            BlendSelected(pixels + i, grey, selection, wanted);
        }
    }
    MapSelectedTail(pixels + i, depth + i, ids + i, count - i, range, wanted);
}

DEEPGLASS_AVX2 void MapMaterialAvx2(BMM_Color_64* pixels, const float* depth, const std::uint8_t* ids,
                                    std::size_t count, DepthRange range, std::uint8_t wanted)
{
    MapSelectedAvx2(pixels, depth, ids, count, range, wanted);
}

DEEPGLASS_AVX2 void MapObjectAvx2(BMM_Color_64* pixels, const float* depth, const std::uint16_t* ids,
                                  std::size_t count, DepthRange range, std::uint16_t wanted)
{
    MapSelectedAvx2(pixels, depth, ids, count, range, wanted);
}

} // namespace

extern const MappingKernels KERNELS_AVX2 = {"avx2", ComputeRangeAvx2, MapAllAvx2, MapMaterialAvx2,
                                            MapObjectAvx2};
