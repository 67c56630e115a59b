#include "mapping_kernels.h"

namespace {

void MapMaterialPlain(BMM_Color_64* pixels, const float* depth, const std::uint8_t* ids, std::size_t count,
                      DepthRange range, std::uint8_t wanted)
{
    MapSelectedToGrey(pixels, depth, ids, count, range, wanted);
}

void MapObjectPlain(BMM_Color_64* pixels, const float* depth, const std::uint16_t* ids, std::size_t count,
                    DepthRange range, std::uint16_t wanted)
{
    MapSelectedToGrey(pixels, depth, ids, count, range, wanted);
}

} // namespace

extern const MappingKernels KERNELS_PLAIN = {"plain", ComputeDepthRange, MapAllToGrey, MapMaterialPlain,
                                             MapObjectPlain};

bool ProcessorRuns(const MappingKernels& kernels)
{
    if (&kernels != &KERNELS_AVX2) return true; // SSE2 is part of x86-64
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0; // also checks that the system saves the wide registers
}

namespace {

// Chosen once while the module loads, not in a function-local static: the guard of one would lazily
// create a threads-library lock that is never released, lost at every unload of the module.
const MappingKernels& chosenKernels = ProcessorRuns(KERNELS_AVX2) ? KERNELS_AVX2 : KERNELS_SSE2;

} // namespace

const MappingKernels& ChosenMappingKernels() { return chosenKernels; }
