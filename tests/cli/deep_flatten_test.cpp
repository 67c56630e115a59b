// Flattening deep pixels: colour and alpha bit for bit as OpenEXR's own compositing gives them
// (which sorts samples when told there are several sources), depth and IDs from the nearest
// sample with alpha above 0, layers each by their own depth and alpha, and the plans refused.
#include <ImfDeepCompositing.h>
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "base/exr_read_failure.h"
#include "image/deep_flatten.h"

using namespace deepglass;

namespace {

FrameChannel Channel(const std::string& name, SampleType type = SampleType::FLOAT)
{
    return {name, type, {}};
}

std::uint32_t Bits(float value) { return std::bit_cast<std::uint32_t>(value); }

TEST(DeepFlatten, ColourAndAlphaAreOpenExrsCompositeOnRandomPixels)
{
    // The part's channels in name order, as EXR lists them.
    const DeepPlan plan({Channel("A"), Channel("B"), Channel("G"), Channel("R"), Channel("Z")});
    const std::vector<int> wanted = {3, 0};
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    DeepPlan::Scratch scratch;
    Imf::DeepCompositing reference;
    for (int pixel = 0; pixel < 2000; ++pixel) {
        const std::size_t count = random() % 9;
        std::vector<std::uint32_t> a(count), r(count), z(count);
        std::vector<float> fa(count), fr(count), fz(count);
        for (std::size_t s = 0; s < count; ++s) {
            fa[s] = pixel % 5 == 0 ? 1.0f : unit(random) * (pixel % 3 == 0 ? 0.0f : 1.0f);
            fr[s] = unit(random) * fa[s] + 0.01f;
            fz[s] = pixel % 7 == 0 ? static_cast<float>(random() % 3) : unit(random) * 100; // ties too
            a[s] = Bits(fa[s]), r[s] = Bits(fr[s]), z[s] = Bits(fz[s]);
        }
        const std::uint32_t* samples[] = {a.data(), nullptr, nullptr, r.data(), z.data()};
        std::uint32_t out[2];
        plan.Flatten(count, samples, wanted, out, 1, scratch);
        // OpenEXR's order: Z, then ZBack (here Z again), then alpha, then the rest.
        const float* inputs[] = {fz.data(), fz.data(), fa.data(), fr.data()};
        const char* names[] = {"Z", "Z", "A", "R"};
        float expected[4];
        reference.composite_pixel(expected, inputs, names, 4, static_cast<int>(count), 2);
        EXPECT_EQ(out[0], Bits(expected[3])) << pixel;
        EXPECT_EQ(out[1], Bits(expected[2])) << pixel;
    }
}

TEST(DeepFlatten, DepthAndIdsAreTheNearestVisibleSamplesPerLayer)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Channels: 0 A, 1 Z, 2 objectID (UINT), 3 fog.A, 4 fog.R (fog ordered by the part's Z).
    const DeepPlan plan({Channel("A"), Channel("Z"), Channel("objectID", SampleType::UINT), Channel("fog.A"),
                         Channel("fog.R")});
    EXPECT_EQ(plan.Needed({4}), (std::vector<int>{1, 3, 4}));
    struct Case {
        std::vector<float> z, a, fogA;
        std::vector<std::uint32_t> ids;
        float depth;
        std::uint32_t id;
        float fogR;
    };
    const Case cases[] = {
        {{}, {}, {}, {}, inf, 0, 0},                                // empty: nothing rendered
        {{5, 2}, {1, 0.5f}, {0, 0}, {4, 3}, 2, 3, 2},               // unsorted
        {{1, 3}, {0, 1}, {1, 1}, {4, 3}, 3, 3, 1},                  // transparent in front; fog its own alpha
        {{1, 2}, {0, 0}, {0.5f, 0.5f}, {1, 2}, inf, 0, 1.5f},       // nothing visible
        {{nan, 4, 2}, {1, 1, 0.5f}, {0, 0, 0}, {7, 8, 9}, 2, 9, 3}, // NaN depths last; glow adds up
    };
    DeepPlan::Scratch scratch;
    for (const Case& test : cases) {
        const std::size_t count = test.z.size();
        std::vector<std::uint32_t> z, a, fogA, fogR(count, Bits(1));
        for (std::size_t s = 0; s < count; ++s)
            z.push_back(Bits(test.z[s])), a.push_back(Bits(test.a[s])), fogA.push_back(Bits(test.fogA[s]));
        const std::uint32_t* samples[] = {a.data(), z.data(), test.ids.data(), fogA.data(), fogR.data()};
        std::uint32_t out[3];
        plan.Flatten(count, samples, {1, 2, 4}, out, 1, scratch);
        EXPECT_EQ(out[0], Bits(test.depth)) << count;
        EXPECT_EQ(out[1], test.id) << count;
        EXPECT_EQ(std::bit_cast<float>(out[2]), test.fogR) << count;
    }
}

TEST(DeepFlatten, PartsWhoseSamplesCannotBeOrderedAreRefused)
{
    const std::vector<std::vector<FrameChannel>> refused = {
        {Channel("A"), Channel("R")},
        {Channel("A", SampleType::UINT), Channel("Z")},
        {Channel("Z", SampleType::UINT)},
    };
    for (const auto& channels : refused) EXPECT_THROW(DeepPlan{channels}, ExrReadFailure) << channels[0].name;
    EXPECT_NO_THROW(DeepPlan({Channel("left.R"), Channel("Z")}));
}

} // namespace
