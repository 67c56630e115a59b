// The mapping's pixel loops in each instruction-set variant this build carries, and the variant
// picked for the processor the module runs on. Every variant gives the same bits as the plain
// loops of depth_to_grey.h; it only does it for several pixels at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bitmap.h"
#include "depth_to_grey.h"

struct MappingKernels {
    const char* name;
    // The depth range over count depths, as ComputeDepthRange.
    DepthRange (*computeRange)(const float* depth, std::size_t count);
    // The grey level of every pixel, as MapAllToGrey.
    void (*mapAll)(BMM_Color_64* pixels, const float* depth, std::size_t count, DepthRange range);
    // The grey level of the pixels whose ID equals wanted, as MapSelectedToGrey.
    void (*mapMaterial)(BMM_Color_64* pixels, const float* depth, const std::uint8_t* ids, std::size_t count,
                        DepthRange range, std::uint8_t wanted);
    void (*mapObject)(BMM_Color_64* pixels, const float* depth, const std::uint16_t* ids, std::size_t count,
                      DepthRange range, std::uint16_t wanted);
};

// Four pixels at a time; every x86-64 processor.
extern const MappingKernels KERNELS_SSE2;
// Eight pixels at a time; processors (and systems) with AVX2.
extern const MappingKernels KERNELS_AVX2;

// Whether this processor can run the variant.
bool ProcessorRuns(const MappingKernels& kernels);

// The widest variant this processor runs, chosen while the module loads.
const MappingKernels& ChosenMappingKernels();
