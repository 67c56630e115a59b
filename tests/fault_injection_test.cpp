// Each host call of a render pass made to fail in turn, at every position it takes in the pass and
// in every mode: the answer must be right, and the frame either untouched or written as far as the
// host let it be.
#include <gtest/gtest.h>

#include <algorithm>

#include "frames.h"
#include "render_oracle.h"

namespace {

const std::int32_t MODES[] = {MODE_WHOLE_IMAGE, MODE_MATERIAL_ID, MODE_OBJECT_ID, 0};

// 5 x 4, surfaces, background and a positive depth, with both ID channels.
RenderScenario Scene(std::int32_t mode)
{
    RenderScenario scenario;
    scenario.frame = MakeFrame(5, 4, {-10, -12, -14, -1e30f, -16, -18, -20, -1e30f, -22, -24,
                                      -26, -30, 5,   -11,    -13, -15, -17, -19,    -21, -23});
    scenario.frame.materialIds =
        std::vector<std::uint8_t>{1, 2, 2, 0, 1, 2, 2, 0, 3, 3, 2, 1, 2, 2, 2, 1, 0, 2, 2, 2};
    scenario.frame.objectIds =
        std::vector<std::uint16_t>{7, 7, 300, 0, 7, 300, 300, 0, 7, 7, 300, 7, 7, 7, 7, 300, 300, 300, 7, 7};
    scenario.config.mode = mode;
    scenario.config.materialId = 2;
    scenario.config.objectId = 300;
    return scenario;
}

std::size_t CountOf(const std::vector<HostCall>& calls, HostCallKind kind)
{
    return static_cast<std::size_t>(std::count_if(
        calls.begin(), calls.end(), [kind](const HostCall& call) { return call.kind == kind; }));
}

std::vector<BMM_Color_64> Row(const std::vector<BMM_Color_64>& pixels, int width, int y)
{
    return {pixels.begin() + y * width, pixels.begin() + (y + 1) * width};
}

TEST(FaultInjection, ARowNotDeliveredLeavesTheFrameAsRendered)
{
    for (std::int32_t mode : MODES) {
        for (int row = 0; row < 4; ++row) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << ", row " << row);
            RenderScenario scenario = Scene(mode);
            scenario.failRead = row;
            const RenderOutcome outcome = RunRender(scenario);
            EXPECT_EQ(outcome.result, 0);
            EXPECT_EQ(outcome.pixels, scenario.frame.pixels);
            // Every row is still asked for, but no channel is queried and nothing is written.
            EXPECT_EQ(outcome.calls, RowCalls(HostCallKind::ReadPixels, 5, 4));
        }
    }
}

TEST(FaultInjection, ARowNotStoredLeavesOnlyThatRowAsItWasAndAnswersZero)
{
    for (std::int32_t mode : MODES) {
        const RenderOutcome whole = RunRender(Scene(mode));
        ASSERT_EQ(whole.result, 1);
        for (int row = 0; row < 4; ++row) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << ", row " << row);
            RenderScenario scenario = Scene(mode);
            scenario.failPut = row;
            const RenderOutcome outcome = RunRender(scenario);
            EXPECT_EQ(outcome.result, 0);
            EXPECT_EQ(CountOf(outcome.calls, HostCallKind::PutPixels), 4u);
            for (int y = 0; y < 4; ++y) {
                const auto& source = y == row ? scenario.frame.pixels : whole.pixels;
                EXPECT_EQ(Row(outcome.pixels, 5, y), Row(source, 5, y)) << "row " << y;
            }
            EXPECT_EQ(outcome.calls, whole.calls);
        }
    }
}

TEST(FaultInjection, AFailedChannelQueryCountsAsAMissingChannel)
{
    for (std::int32_t mode : MODES) {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        RenderScenario noDepth = Scene(mode);
        noDepth.failQuery = 0;
        const RenderOutcome refused = RunRender(noDepth);
        EXPECT_EQ(refused.result, 0);
        EXPECT_EQ(refused.pixels, noDepth.frame.pixels);
        EXPECT_EQ(CountOf(refused.calls, HostCallKind::PutPixels), 0u);

        RenderScenario noIds = Scene(mode);
        noIds.failQuery = 1;
        const RenderOutcome outcome = RunRender(noIds);
        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(CountOf(outcome.calls, HostCallKind::PutPixels), 4u);
        if (mode == MODE_WHOLE_IMAGE) {
            // Only depth is queried in this mode, so there is no second query to fail.
            EXPECT_EQ(outcome.pixels, RunRender(Scene(mode)).pixels);
        } else {
            EXPECT_EQ(outcome.pixels, noIds.frame.pixels);
        }
    }
}

TEST(FaultInjection, EveryOutcomeMatchesTheHostCallRules)
{
    // Every combination of one failed call of each kind, including none, against the rules.
    for (std::int32_t mode : MODES) {
        for (int read = -1; read <= 4; ++read) {
            for (int put = -1; put <= 4; ++put) {
                for (int query = -1; query <= 2; ++query) {
                    RenderScenario scenario = Scene(mode);
                    scenario.failRead = read;
                    scenario.failPut = put;
                    scenario.failQuery = query;
                    const RenderOutcome expected = ExpectedRender(scenario);
                    const RenderOutcome actual = RunRender(scenario);
                    SCOPED_TRACE(testing::Message() << "mode " << mode << ", read " << read << ", put " << put
                                                    << ", query " << query);
                    EXPECT_EQ(actual.result, expected.result);
                    EXPECT_EQ(actual.pixels, expected.pixels);
                    EXPECT_EQ(actual.calls, expected.calls);
                }
            }
        }
    }
}

} // namespace
