// Runs the mapping alone (range pass and grey pass) once over a 1920 x 1080 scene, for counting
// its instructions under callgrind: count_mapping_instructions.sh collects MeasuredMapping only.
//
//   mapping_profile MODE [VARIANT]   MODE: whole, material or object;
//                                    VARIANT: chosen (default), plain, sse2 or avx2
#include <cstdio>
#include <cstring>
#include <string>

#include "bench_frames.h"
#include "mapping_kernels.h"

namespace {

constexpr int PROFILE_WIDTH = 1920;
constexpr int PROFILE_HEIGHT = 1080;

enum class Mode { WHOLE, MATERIAL, OBJECT };

// The plain loops in a table of their own, for comparison; the module never picks them.
const MappingKernels KERNELS_PLAIN = {"plain", ComputeDepthRange, MapAllToGrey, MapSelectedToGrey,
                                      MapSelectedToGrey};

// As the render pass maps: the range over the frame, then the grey pass a row at a time.
__attribute__((noinline)) void MeasuredMapping(const MappingKernels& kernels, MemoryStorage& storage,
                                               Mode mode)
{
    DepthChannels channels{storage.Depth(), nullptr, nullptr, CHANNEL_DEPTH, storage.PixelCount()};
    int selection = SELECT_ALL;
    if (mode == Mode::MATERIAL) {
        channels.materialIds = storage.MaterialIds();
        channels.loaded |= CHANNEL_MATERIAL_ID;
        selection = SCENE_GROUND_MATERIAL;
    } else if (mode == Mode::OBJECT) {
        channels.objectIds = storage.ObjectIds();
        channels.loaded |= CHANNEL_OBJECT_ID;
        selection = SCENE_GROUND_OBJECT;
    }
    const GreyMapping mapping(channels, selection, kernels);
    const std::size_t width = static_cast<std::size_t>(storage.Width());
    for (int y = 0; y < storage.Height(); ++y)
        mapping.Map(storage.Pixels(), static_cast<std::size_t>(y) * width, width);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string modeName = argc > 1 ? argv[1] : "";
    const std::string variant = argc > 2 ? argv[2] : "chosen";
    Mode mode = Mode::WHOLE;
    if (modeName == "material") {
        mode = Mode::MATERIAL;
    } else if (modeName == "object") {
        mode = Mode::OBJECT;
    } else if (modeName != "whole") {
        std::fprintf(stderr, "usage: %s whole|material|object [chosen|plain|sse2|avx2]\n", argv[0]);
        return 2;
    }
    const MappingKernels* kernels = &ChosenMappingKernels();
    for (const MappingKernels* candidate : {&KERNELS_PLAIN, &KERNELS_SSE2, &KERNELS_AVX2}) {
        if (variant == candidate->name) kernels = candidate;
    }
    if (variant != "chosen" && variant != kernels->name) {
        std::fprintf(stderr, "unknown variant %s\n", variant.c_str());
        return 2;
    }
    if (!ProcessorRuns(*kernels)) {
        std::fprintf(stderr, "this processor cannot run the %s variant\n", kernels->name);
        return 1;
    }
    SceneFrame scene = MakeSceneFrame(PROFILE_WIDTH, PROFILE_HEIGHT);
    MeasuredMapping(*kernels, *scene.storage, mode);
    std::printf("%s %s %zu pixels\n", modeName.c_str(), kernels->name, scene.storage->PixelCount());
    return 0;
}
