// The module's render pass (the object code that goes into the module file), driven through the
// stand-in host as the host drives it, against its floor: the same zero-filled allocation and the
// same row-by-row copy in and out, and nothing else. Each pass benchmark times the floor in the
// same loop, alternating with the pass, so that their ratio is measured under the same load.
//
// Times are this thread's processor time (page faults included), which other programs on a
// shared machine disturb far less than the clock; ratio_wall gives the ratio on the clock.
//
// Kernels/VARIANT/... run the same pass on the working image with one instruction-set variant of
// the pixel loops each, so that the variants can be compared in one run.
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench_frames.h"
#include "deepglass_filter.h"
#include "filter_config.h"
#include "mapping_kernels.h"
#include "work_image.h"

namespace {

struct FrameSize {
    int width;
    int height;
};

constexpr FrameSize BENCH_SIZES[] = {{640, 360}, {1920, 1080}, {3840, 2160}};

struct Mode {
    const char* name;
    std::int32_t value;
};

constexpr Mode BENCH_MODES[] = {
    {"whole", MODE_WHOLE_IMAGE}, {"material", MODE_MATERIAL_ID}, {"object", MODE_OBJECT_ID}};

// The floor: what any render pass must do, in the same host calls.
void CopyFrameInAndOut(Bitmap& bitmap)
{
    BitmapStorage* storage = bitmap.Storage();
    const int width = storage->Info().Width();
    const int height = storage->Info().Height();
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    auto* pixels = static_cast<BMM_Color_64*>(std::calloc(count > 0 ? count : 1, sizeof(BMM_Color_64)));
    if (pixels == nullptr) std::abort();
    for (int y = 0; y < height; ++y)
        storage->ReadPixels(0, y, width, pixels + static_cast<std::size_t>(y) * width);
    for (int y = 0; y < height; ++y)
        bitmap.PutPixels(0, y, width, pixels + static_cast<std::size_t>(y) * width);
    benchmark::DoNotOptimize(pixels);
    std::free(pixels);
}

// The time of one run of work: on the clock and on this thread's processor time. Other programs
// on the machine stretch the first; the second counts only this thread, page faults included.
struct RunTime {
    double wall = 0.0;
    double cpu = 0.0;
    RunTime& operator+=(const RunTime& other)
    {
        wall += other.wall;
        cpu += other.cpu;
        return *this;
    }
};

double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

template <typename Work>
RunTime Timed(Work&& work)
{
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = ThreadCpuSeconds();
    work();
    const double cpu = ThreadCpuSeconds() - cpuStart;
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count(), cpu};
}

void BM_Floor(benchmark::State& state, FrameSize size)
{
    SceneFrame scene = MakeSceneFrame(size.width, size.height);
    Bitmap bitmap(scene.storage.get());
    for (auto _ : state) {
        state.SetIterationTime(Timed([&] { CopyFrameInAndOut(bitmap); }).cpu);
        scene.storage->ClearCalls();
    }
    state.counters["pixels_per_second"] = benchmark::Counter(static_cast<double>(scene.storage->PixelCount()),
                                                             benchmark::Counter::kIsIterationInvariantRate);
}

// The filter's pass with the given pixel loops in place of the chosen ones: the same host calls.
bool RenderWith(Bitmap& bitmap, const MappingKernels& kernels, Mode mode)
{
    WorkImage image(&bitmap);
    if (!image.IsComplete() || image.LoadChannel(CHANNEL_DEPTH) != 1) return false;
    int selection = SELECT_ALL;
    if (mode.value == MODE_MATERIAL_ID) {
        if (image.LoadChannel(CHANNEL_MATERIAL_ID) != 1) return false;
        selection = SCENE_GROUND_MATERIAL;
    } else if (mode.value == MODE_OBJECT_ID) {
        if (image.LoadChannel(CHANNEL_OBJECT_ID) != 1) return false;
        selection = SCENE_GROUND_OBJECT;
    }
    return image.WriteBack(GreyMapping(image.LoadedChannels(), selection, kernels));
}

// kernels: null for the filter's own pass.
void BM_RenderPass(benchmark::State& state, FrameSize size, Mode mode, const MappingKernels* kernels)
{
    if (kernels != nullptr && !ProcessorRuns(*kernels)) {
        state.SkipWithError("this processor cannot run the variant");
        return;
    }
    SceneFrame scene = MakeSceneFrame(size.width, size.height);
    Bitmap bitmap(scene.storage.get());
    auto filter = std::make_unique<DeepglassFilter>();
    FilterConfig config;
    config.mode = mode.value;
    config.materialId = SCENE_GROUND_MATERIAL;
    config.objectId = SCENE_GROUND_OBJECT;
    unsigned char record[CONFIG_RECORD_SIZE];
    WriteConfig(config, record);
    filter->LoadConfigure(record);
    filter->SetSource(&bitmap);

    RunTime passTime;
    RunTime floorTime;
    bool floorFirst = false;
    for (auto _ : state) {
        // Alternate the order, so that neither side always finds the caches warmed by the other.
        floorFirst = !floorFirst;
        if (floorFirst) floorTime += Timed([&] { CopyFrameInAndOut(bitmap); });
        const RunTime pass = Timed([&] {
            const bool done =
                kernels != nullptr ? RenderWith(bitmap, *kernels, mode) : filter->Render(0) == 1;
            if (!done) state.SkipWithError("the render pass failed");
        });
        if (!floorFirst) floorTime += Timed([&] { CopyFrameInAndOut(bitmap); });
        scene.storage->ClearCalls();
        passTime += pass;
        state.SetIterationTime(pass.cpu);
    }
    const double pixels =
        static_cast<double>(scene.storage->PixelCount()) * static_cast<double>(state.iterations());
    state.counters["ratio"] = passTime.cpu / floorTime.cpu;
    state.counters["ratio_wall"] = passTime.wall / floorTime.wall;
    state.counters["pixels_per_second"] = pixels / passTime.cpu;
    state.counters["floor_ms"] = 1e3 * floorTime.cpu / static_cast<double>(state.iterations());
    if (mode.value != MODE_WHOLE_IMAGE) state.counters["selected"] = scene.groundShare;
}

std::string SizeName(FrameSize size)
{
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

const bool registered = [] {
    for (FrameSize size : BENCH_SIZES) {
        benchmark::RegisterBenchmark(("Floor/" + SizeName(size)).c_str(), BM_Floor, size)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        for (Mode mode : BENCH_MODES) {
            const std::string name = std::string(mode.name) + "/" + SizeName(size);
            benchmark::RegisterBenchmark(("RenderPass/" + name).c_str(), BM_RenderPass, size, mode, nullptr)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
            for (const MappingKernels* kernels : {&KERNELS_SSE2, &KERNELS_AVX2}) {
                benchmark::RegisterBenchmark(("Kernels/" + std::string(kernels->name) + "/" + name).c_str(),
                                             BM_RenderPass, size, mode, kernels)
                    ->UseManualTime()
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    return true;
}();

} // namespace

BENCHMARK_MAIN();
