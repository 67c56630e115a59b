// The extremes a host can hand over: the largest frame when memory is short, and frames whose
// depths are all not-a-number, all infinite or all background.
#include <gtest/gtest.h>

#include <limits>

// The address-space limit is set with setrlimit, and ASan's shadow memory does not fit under one.
#if !defined(_WIN32) && !defined(DEEPGLASS_SANITIZED)
#define DEEPGLASS_ADDRESS_LIMIT 1
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "deepglass_filter.h"
#include "frames.h"
#include "render_oracle.h"

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

#ifdef DEEPGLASS_ADDRESS_LIMIT
// Runs `check` in a child process whose address space is limited to `bytes`; the child's exit
// code is check's answer.
int InChildWithAddressSpace(rlim_t bytes, int (*check)())
{
    const pid_t child = fork();
    if (child == 0) {
        const rlimit limit{bytes, bytes};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(100);
        _exit(check());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

int RenderLargestFrame()
{
    LargestFrame storage;
    Bitmap bitmap(&storage);
    DeepglassFilter filter;
    filter.SetSource(&bitmap);
    if (filter.Render(0) != 0) return 1;
    if (storage.calls != 0) return 2; // no row read, no channel queried, nothing written

    // The same limit still leaves room for an ordinary frame.
    RenderScenario small;
    small.frame = MakeFrame(64, 48, {});
    const RenderOutcome outcome = RunRender(small);
    return outcome.result == 1 && outcome.pixels == ExpectedRender(small).pixels ? 0 : 3;
}
#endif

TEST(Limits, LargestFrameIsRefusedCleanlyWhenMemoryIsShort)
{
#ifdef DEEPGLASS_ADDRESS_LIMIT
    EXPECT_EQ(InChildWithAddressSpace(rlim_t{1} << 30, RenderLargestFrame), 0);
#else
    GTEST_SKIP() << "needs setrlimit and a build without AddressSanitizer";
#endif
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
