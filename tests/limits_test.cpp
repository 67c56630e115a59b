// The extremes a host can hand over: the largest frame when memory is short, and frames whose
// depths are all not-a-number, all infinite or all background.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <limits>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include "deepglass_filter.h"
#include "frames.h"
#include "render_oracle.h"

#ifdef DEEPGLASS_SANITIZED
// A failed allocation answers null, as the C library's does, rather than ending the program with a
// report: the limits below are about what the module does with that null.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace {

constexpr BMM_Color_64 CLEAR_BLACK{0, 0, 0, 0};

// The largest frame the host's 16-bit size can describe, without its 34 GB of pixels: it only
// counts the calls made on it.
class LargestFrame : public BitmapStorage {
public:
    LargestFrame() : BitmapStorage(BitmapInfo(65535, 65535)) {}
    int ReadPixels(int, int, int, BMM_Color_64*) override { return ++calls, 1; }
    int WritePixels(int, int, int, const BMM_Color_64*) override { return ++calls, 1; }
    void* QueryChannel(std::uint32_t, std::uint32_t*) override { return ++calls, nullptr; }
    int calls = 0;
};

constexpr std::size_t LARGEST_FRAME_BYTES = std::size_t{65535} * 65535 * sizeof(BMM_Color_64);

#ifndef _WIN32
// While alive, the process's free address space is reserved (nothing committed) down to holes
// smaller than `largestHole`, so that any larger allocation fails at once, also under
// AddressSanitizer, whose shadow memory would not fit under an address-space limit.
class AddressSpaceTaken {
public:
    explicit AddressSpaceTaken(std::size_t largestHole)
    {
        blocks.reserve(4096); // no heap growth while the space runs out
        for (std::size_t size = std::size_t{1} << 46; size >= largestHole; size /= 2) {
            while (blocks.size() < blocks.capacity()) {
                void* start =
                    mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
                if (start == MAP_FAILED) break;
                blocks.push_back({start, size});
            }
        }
    }
    ~AddressSpaceTaken()
    {
        for (const Block& block : blocks) munmap(block.start, block.size);
    }
    AddressSpaceTaken(const AddressSpaceTaken&) = delete;
    AddressSpaceTaken& operator=(const AddressSpaceTaken&) = delete;

private:
    struct Block {
        void* start;
        std::size_t size;
    };
    std::vector<Block> blocks;
};
#endif

TEST(Limits, LargestFrameIsRefusedCleanlyWhenMemoryIsShort)
{
#ifdef _WIN32
    // Windows gives a process no way to lower its own memory limit, and Wine keeps state for each
    // page of a reservation, so the address space cannot be taken away in reasonable time: the
    // frame's allocation fails only where the machine cannot commit it (memory and page file).
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    ASSERT_TRUE(GlobalMemoryStatusEx(&memory));
    if (memory.ullTotalPageFile >= LARGEST_FRAME_BYTES)
        GTEST_SKIP() << "this machine can commit the whole largest frame";
#else
    const AddressSpaceTaken taken(std::size_t{1} << 30);
#endif
    void* room = std::malloc(LARGEST_FRAME_BYTES);
    const bool roomFound = room != nullptr;
    std::free(room);
    ASSERT_FALSE(roomFound) << "the largest frame's pixels are still to be had";

    // Its pixel array finds no room: nothing is read, queried or written. An ordinary frame still
    // renders.
    LargestFrame storage;
    Bitmap bitmap(&storage);
    DeepglassFilter filter;
    filter.SetSource(&bitmap);
    EXPECT_EQ(filter.Render(0), 0);
    EXPECT_EQ(storage.calls, 0);

    RenderScenario small;
    small.frame = MakeFrame(64, 48, {});
    const RenderOutcome outcome = RunRender(small);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.pixels, ExpectedRender(small).pixels);
}

RenderScenario UniformDepth(float z, std::int32_t mode)
{
    RenderScenario scenario;
    scenario.frame = MakeFrame(7, 5, std::vector<float>(35, z));
    std::vector<std::uint8_t> materials(35);
    for (std::size_t i = 0; i < materials.size(); ++i) materials[i] = static_cast<std::uint8_t>(i % 3);
    scenario.frame.materialIds = materials;
    scenario.config.mode = mode;
    scenario.config.materialId = 1;
    return scenario;
}

TEST(Limits, FramesWithNoUsableDepthComeOutClearBlack)
{
    const float depths[] = {std::numeric_limits<float>::quiet_NaN(),
                            -std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            -1e30f,
                            1e30f,
                            -1e20f,
                            1e20f};
    for (float z : depths) {
        SCOPED_TRACE(testing::Message() << "depth " << z);
        const RenderScenario whole = UniformDepth(z, MODE_WHOLE_IMAGE);
        const RenderOutcome outcome = RunRender(whole);
        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(outcome.pixels, std::vector<BMM_Color_64>(35, CLEAR_BLACK));

        // With a selection only the selected pixels turn black; the rest keep their colour.
        const RenderScenario selected = UniformDepth(z, MODE_MATERIAL_ID);
        const RenderOutcome partial = RunRender(selected);
        EXPECT_EQ(partial.result, 1);
        for (std::size_t i = 0; i < 35; ++i) {
            const BMM_Color_64 expected =
                (*selected.frame.materialIds)[i] == 1 ? CLEAR_BLACK : selected.frame.pixels[i];
            EXPECT_EQ(partial.pixels[i], expected) << "pixel " << i;
        }
    }
}

} // namespace
