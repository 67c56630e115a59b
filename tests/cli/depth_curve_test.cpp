// Clipped scales and the inverse curve as the tool hands them to the filter: percentiles exact
// against a sort, over one frame and over several counted apart; the depths handed over for the
// inverse curve keeping their signs, NaN and nothing rendered.
#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "deepglass_interface.h"
#include "depth/depth_percentiles.h"

using namespace deepglass;

namespace {

// The magnitude at a percentile as a sort gives it.
float SortedPercentile(std::vector<float> depth, double percent)
{
    std::vector<float> taking;
    for (float z : depth)
        if (std::fabs(z) < DEPTH_LIMIT) taking.push_back(std::fabs(z));
    std::sort(taking.begin(), taking.end());
    return taking[PercentileRank(percent, taking.size())];
}

TEST(DepthPercentiles, EndsAreExactOverAFrameAndOverFramesCountedApart)
{
    std::mt19937 random(7);
    std::lognormal_distribution<float> spread(1.0f, 1.5f);
    std::vector<std::vector<float>> frames(5);
    std::vector<float> all;
    for (std::vector<float>& frame : frames) {
        for (int i = 0; i < 20000; ++i) frame.push_back((i % 3 == 0 ? -1.0f : 1.0f) * spread(random));
        frame.push_back(-1e30f);
        frame.push_back(std::nanf(""));
        all.insert(all.end(), frame.begin(), frame.end());
    }
    const DepthClip clips[] = {{0, 100}, {1, 99}, {0.1, 50}, {25, 25.5}};
    for (const DepthClip& clip : clips) {
        SCOPED_TRACE(clip.Text());
        const std::optional<DepthScale> one = ClippedScaleOf(frames[0], clip);
        ASSERT_TRUE(one);
        EXPECT_EQ(one->nearest, SortedPercentile(frames[0], clip.low));
        EXPECT_EQ(one->farthest, SortedPercentile(frames[0], clip.high));
        PercentileSweeps shot(clip, 2); // two tallies, as two workers count
        do
            for (std::size_t f = 0; f < frames.size(); ++f) shot.Count(frames[f], f % 2);
        while (shot.EndSweep());
        ASSERT_TRUE(shot.Ends());
        EXPECT_EQ(shot.Ends()->nearest, SortedPercentile(all, clip.low));
        EXPECT_EQ(shot.Ends()->farthest, SortedPercentile(all, clip.high));
    }
    EXPECT_FALSE(ClippedScaleOf(std::vector<float>{-1e30f, 1e20f}, {1, 99}));
    // A first sweep that counted nothing ends the sweeps; depths counted after count for nothing.
    PercentileSweeps over({1, 99});
    over.Count(std::vector<float>{-1e30f});
    EXPECT_FALSE(over.EndSweep());
    over.Count(std::vector<float>{0.0f, 1.0e-45f, 3.0f, 7.0e7f});
    EXPECT_FALSE(over.EndSweep());
    EXPECT_FALSE(over.Ends());
}

TEST(DepthCurve, InverseKeepsSignsAndWhatTakesNoPart)
{
    std::vector<float> depth = {-2.0f, 8.0f, -1e30f, std::nanf(""), -1.0f, -20.0f, 0.0f, 0.0f};
    FixScale(DepthScale{2.0f, 8.0f}, DepthCurve::INVERSE, depth, 6);
    EXPECT_EQ(depth[0], -0.0f);
    EXPECT_TRUE(std::signbit(depth[0]));
    EXPECT_EQ(depth[1], 1.0f);
    EXPECT_EQ(depth[2], -1e30f);
    EXPECT_TRUE(std::isnan(depth[3]));
    EXPECT_EQ(depth[4], -0.0f); // clamped to the near end
    EXPECT_EQ(depth[5], -1.0f); // and to the far one
    EXPECT_EQ(depth[6], -0.0f); // the ends planted below the frame
    EXPECT_EQ(depth[7], -1.0f);
}

} // namespace
