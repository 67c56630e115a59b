#include "mapping_kernels.h"

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
