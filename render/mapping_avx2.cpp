// The mapping eight pixels at a time with AVX2, chosen at run time on processors that have it.
//
// Only the code between BEGIN_AVX2 and END_AVX2 is compiled for AVX2: the lanes below and the
// loops of mapping_loops.h, which is included there and nowhere before. Every header with code of
// its own is included before the region, so that no inline function shared with the rest of the
// module is compiled for AVX2 here.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "depth_to_grey.h"
#include "mapping_kernels.h"

#if defined(__clang__)
#define BEGIN_AVX2 _Pragma("clang attribute push(__attribute__((target(\"avx2\"))), apply_to = function)")
#define END_AVX2 _Pragma("clang attribute pop")
#else
#define BEGIN_AVX2 _Pragma("GCC push_options") _Pragma("GCC target(\"avx2\")")
#define END_AVX2 _Pragma("GCC pop_options")
#endif

BEGIN_AVX2

#include "mapping_loops.h"

namespace {

struct Avx2Lanes {
    static constexpr std::size_t WIDTH = 8;
    using Floats = __m256;
    using Doubles = __m256d;
    using Ints = __m128i;
    struct DoublePair {
        __m256d low;
        __m256d high;
    };
    // Eight grey pixels, four to a register.
    struct Pixels {
        __m256i first;
        __m256i second;
    };
    // The comparison of eight IDs, one element a pixel, and its byte mask, which is `all` when
    // every pixel is selected.
    template <typename Id>
    struct Selection {
        __m128i equal;
        int bits;
        static constexpr int all = (1 << (8 * sizeof(Id))) - 1;
    };

    static __m256 Magnitudes(const float* depth)
    {
        return _mm256_and_ps(_mm256_loadu_ps(depth), _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF)));
    }
    static __m256 Splat(float value) { return _mm256_set1_ps(value); }
    static __m256d Splat(double value) { return _mm256_set1_pd(value); }
    static __m256 Min(__m256 a, __m256 b) { return _mm256_min_ps(a, b); }
    static __m256 Max(__m256 a, __m256 b) { return _mm256_max_ps(a, b); }
    static __m256d Min(__m256d a, __m256d b) { return _mm256_min_pd(a, b); }
    static __m256d Max(__m256d a, __m256d b) { return _mm256_max_pd(a, b); }
    static __m256 And(__m256 a, __m256 b) { return _mm256_and_ps(a, b); }
    static __m256 Or(__m256 a, __m256 b) { return _mm256_or_ps(a, b); }
    static __m256 Below(__m256 a, __m256 b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
    static __m256 NotBelow(__m256 a, __m256 b) { return _mm256_cmp_ps(a, b, _CMP_NLT_UQ); }
    static bool AllSet(__m256 mask) { return _mm256_movemask_ps(mask) == 0xFF; }
    static void Store(float* out, __m256 values) { _mm256_storeu_ps(out, values); }

    // Depth pairs in the order 0 1 4 5 | 2 3 6 7, so that the in-lane unpacking of PixelsOf puts
    // the pixels in order without a further cross-lane step.
    static DoublePair Halves(__m256 values)
    {
        const __m256 paired = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(values), 0xD8));
        return {_mm256_cvtps_pd(_mm256_castps256_ps128(paired)),
                _mm256_cvtps_pd(_mm256_extractf128_ps(paired, 1))};
    }
    static __m128i Truncate(__m256d values) { return _mm256_cvttpd_epi32(values); }
    static Pixels PixelsOf(__m128i low, __m128i high)
    {
        const __m256i levels = _mm256_set_m128i(high, low);
        const __m256i doubled = _mm256_or_si256(levels, _mm256_slli_epi32(levels, 16)); // g g in each lane
        return {_mm256_unpacklo_epi32(doubled, doubled), _mm256_unpackhi_epi32(doubled, doubled)};
    }
    static Pixels ZeroPixels() { return {_mm256_setzero_si256(), _mm256_setzero_si256()}; }

    static void Store(BMM_Color_64* pixels, Pixels grey)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels), grey.first);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + 4), grey.second);
    }
    // Stores the grey pixels where the 64-bit lane of the masks is all ones.
    static void Blend(BMM_Color_64* pixels, Pixels grey, __m256i maskFirst, __m256i maskSecond)
    {
        auto* first = reinterpret_cast<__m256i*>(pixels);
        auto* second = reinterpret_cast<__m256i*>(pixels + 4);
        _mm256_storeu_si256(first, _mm256_blendv_epi8(_mm256_loadu_si256(first), grey.first, maskFirst));
        _mm256_storeu_si256(second, _mm256_blendv_epi8(_mm256_loadu_si256(second), grey.second, maskSecond));
    }
    static void Blend(BMM_Color_64* pixels, Pixels grey, Selection<std::uint8_t> selection)
    {
        Blend(pixels, grey, _mm256_cvtepi8_epi64(selection.equal),
              _mm256_cvtepi8_epi64(_mm_srli_si128(selection.equal, 4)));
    }
    static void Blend(BMM_Color_64* pixels, Pixels grey, Selection<std::uint16_t> selection)
    {
        Blend(pixels, grey, _mm256_cvtepi16_epi64(selection.equal),
              _mm256_cvtepi16_epi64(_mm_srli_si128(selection.equal, 8)));
    }

    static Selection<std::uint8_t> Matches(const std::uint8_t* ids, std::uint8_t wanted)
    {
        const __m128i equal = _mm_cmpeq_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(ids)),
                                             _mm_set1_epi8(static_cast<char>(wanted)));
        return {equal, _mm_movemask_epi8(equal) & 0xFF};
    }
    static Selection<std::uint16_t> Matches(const std::uint16_t* ids, std::uint16_t wanted)
    {
        const __m128i equal = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(ids)),
                                              _mm_set1_epi16(static_cast<short>(wanted)));
        return {equal, _mm_movemask_epi8(equal)};
    }
};

} // namespace

extern const MappingKernels KERNELS_AVX2 = mapping_loops::KernelsOf<Avx2Lanes>("avx2");

END_AVX2
