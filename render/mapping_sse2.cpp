// The mapping four pixels at a time with SSE2, which every x86-64 processor has.
#include <emmintrin.h>

#include <cstring>

#include "mapping_loops.h"

namespace {

struct Sse2Lanes {
    static constexpr std::size_t WIDTH = 4;
    using Floats = __m128;
    using Doubles = __m128d;
    using Ints = __m128i;
    struct DoublePair {
        __m128d low;
        __m128d high;
    };
    // Four grey pixels, two to a register.
    struct Pixels {
        __m128i first;
        __m128i second;
    };
    // The 32-bit lane of each selected pixel is all ones.
    struct Selection {
        __m128i mask;
        int bits;
        static constexpr int all = 0xF;
    };

    static __m128 Magnitudes(const float* depth)
    {
        return _mm_and_ps(_mm_loadu_ps(depth), _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)));
    }
    static __m128 Splat(float value) { return _mm_set1_ps(value); }
    static __m128d Splat(double value) { return _mm_set1_pd(value); }
    static __m128 Min(__m128 a, __m128 b) { return _mm_min_ps(a, b); }
    static __m128 Max(__m128 a, __m128 b) { return _mm_max_ps(a, b); }
    static __m128d Min(__m128d a, __m128d b) { return _mm_min_pd(a, b); }
    static __m128d Max(__m128d a, __m128d b) { return _mm_max_pd(a, b); }
    static __m128 And(__m128 a, __m128 b) { return _mm_and_ps(a, b); }
    static __m128 Or(__m128 a, __m128 b) { return _mm_or_ps(a, b); }
    static __m128 Below(__m128 a, __m128 b) { return _mm_cmplt_ps(a, b); }
    static __m128 NotBelow(__m128 a, __m128 b) { return _mm_cmpnlt_ps(a, b); }
    static bool AllSet(__m128 mask) { return _mm_movemask_ps(mask) == 0xF; }
    static void Store(float* out, __m128 values) { _mm_storeu_ps(out, values); }

    static DoublePair Halves(__m128 values)
    {
        return {_mm_cvtps_pd(values), _mm_cvtps_pd(_mm_movehl_ps(values, values))};
    }
    // Two levels in the low half.
    static __m128i Truncate(__m128d values) { return _mm_cvttpd_epi32(values); }
    static Pixels PixelsOf(__m128i low, __m128i high)
    {
        const __m128i levels = _mm_unpacklo_epi64(low, high);
        const __m128i doubled = _mm_or_si128(levels, _mm_slli_epi32(levels, 16)); // g g in each lane
        return {_mm_unpacklo_epi32(doubled, doubled), _mm_unpackhi_epi32(doubled, doubled)};
    }
    static Pixels ZeroPixels() { return {_mm_setzero_si128(), _mm_setzero_si128()}; }

    static void Store(BMM_Color_64* pixels, Pixels grey)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), grey.first);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + 2), grey.second);
    }
    static void Blend(BMM_Color_64* pixels, Pixels grey, Selection selection)
    {
        auto* first = reinterpret_cast<__m128i*>(pixels);
        auto* second = reinterpret_cast<__m128i*>(pixels + 2);
        const __m128i maskFirst = _mm_unpacklo_epi32(selection.mask, selection.mask);
        const __m128i maskSecond = _mm_unpackhi_epi32(selection.mask, selection.mask);
        _mm_storeu_si128(first, _mm_or_si128(_mm_and_si128(maskFirst, grey.first),
                                             _mm_andnot_si128(maskFirst, _mm_loadu_si128(first))));
        _mm_storeu_si128(second, _mm_or_si128(_mm_and_si128(maskSecond, grey.second),
                                              _mm_andnot_si128(maskSecond, _mm_loadu_si128(second))));
    }

    static Selection SelectionOf(__m128i mask) { return {mask, _mm_movemask_ps(_mm_castsi128_ps(mask))}; }
    static Selection Matches(const std::uint8_t* ids, std::uint8_t wanted)
    {
        std::int32_t four;
        std::memcpy(&four, ids, sizeof four);
        const __m128i equal =
            _mm_cmpeq_epi8(_mm_cvtsi32_si128(four), _mm_set1_epi8(static_cast<char>(wanted)));
        const __m128i wide = _mm_unpacklo_epi8(equal, equal);
        return SelectionOf(_mm_unpacklo_epi16(wide, wide));
    }
    static Selection Matches(const std::uint16_t* ids, std::uint16_t wanted)
    {
        const __m128i equal = _mm_cmpeq_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(ids)),
                                              _mm_set1_epi16(static_cast<short>(wanted)));
        return SelectionOf(_mm_unpacklo_epi16(equal, equal));
    }
};

} // namespace

extern const MappingKernels KERNELS_SSE2 = mapping_loops::KernelsOf<Sse2Lanes>("sse2");
