// Shots in process: frame ranges and patterns, the plan of a shot's frames and outputs, and the
// worker pool, each over a table of cases.
#include <gmock/gmock.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "cli/option_values.h"
#include "expect_error.h"
#include "shot/frame_pattern.h"
#include "shot/shot_plan.h"
#include "shot/worker_pool.h"

using namespace deepglass;

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

namespace {

TEST(FrameRange, ListsEachFrameOnceInTheOrderGivenAndRefusesWhatItCannotRead)
{
    const std::pair<const char*, std::vector<int>> accepted[] = {
        {"7", {7}},
        {"1-4", {1, 2, 3, 4}},
        {"1-10x3", {1, 4, 7, 10}},
        {"1,5,9-12", {1, 5, 9, 10, 11, 12}},
        {"5,1-3,2", {5, 1, 2, 3}},
        {"0-0", {0}},
        {"6-9,1-7x2", {6, 7, 8, 9, 1, 3, 5}}, // overlapping spans, repeats left out
        {"0-2000000000x1000000000,1000000000", {0, 1000000000, 2000000000}}, // a wide span
        {"2147483647,2147483640-2147483647x7", {2147483647, 2147483640}},
    };
    for (const auto& [text, frames] : accepted)
        EXPECT_THAT(ParseFrameRange(text), ElementsAreArray(frames)) << text;
    // Lists of many parts, over a narrow span and over a wide one.
    for (const int start : {100, 2000000000}) {
        std::string text = std::to_string(start);
        std::vector<int> frames = {start};
        for (int frame = 0; frame < 80; ++frame) {
            text += "," + std::to_string(frame);
            frames.push_back(frame);
        }
        text += ",5";
        if (start != 100) frames.push_back(100);
        EXPECT_THAT(ParseFrameRange(text + ",100"), ElementsAreArray(frames)) << start;
    }

    const std::pair<const char*, const char*> refused[] = {
        {"", "an empty part"},
        {"1,,3", "an empty part"},
        {"a-3", "a is no frame number"},
        {"-3", "an empty part"},
        {"5-1", "runs backwards"},
        {"1-9x0", "the step of 1-9x0 is 0"},
        {"3x2", "a step (x N)"},
        {"1-2000000", "more than"},
        {"99999999999", "is no frame number"},
        // Frames named twice count twice: a list repeating a vast range is refused at once.
        {"0-999999,0-999999", "names more than 1000000 frames"},
    };
    for (const auto& [text, message] : refused)
        ExpectError<UsageError>([&] { ParseFrameRange(text); }, message);
}

TEST(FramePattern, PlaceholdersAreFoundInTheFileNameAndPadded)
{
    const std::tuple<const char*, int, const char*> cases[] = {
        {"shot.%04d.exr", 7, "shot.0007.exr"},
        {"shot.####.exr", 7, "shot.0007.exr"},
        {"shot.%d.exr", 7, "shot.7.exr"},
        {"shot.##.exr", 12345, "shot.12345.exr"},
        {"a%04d/shot.#.exr", 3, "a%04d/shot.3.exr"},
        {"plain.exr", 3, "plain.exr"},
        {"shot.%5d.exr", 3, "shot.%5d.exr"},
    };
    for (const auto& [pattern, frame, path] : cases) {
        EXPECT_EQ(FramePath(pattern, frame), path) << pattern;
        EXPECT_EQ(HasFramePattern(pattern), std::string(pattern) != path) << pattern;
    }
    EXPECT_EQ(FrameNumberOf("renders/v2/shot.0042.exr"), 42);
    EXPECT_EQ(FrameNumberOf("renders/v2/shot.exr"), std::nullopt);
}

OutputTarget PatternTarget()
{
    OutputTarget target;
    target.path = "grey.%04d.png";
    return target;
}

class ShotPlan : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = std::filesystem::temp_directory_path() /
                 ("shot-plan-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
        for (int frame : {1, 2, 4}) std::ofstream(Path("shot." + std::to_string(frame) + ".exr")) << "x";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    std::string Path(const std::string& name) const { return (folder / name).string(); }

    std::filesystem::path folder;
};

TEST_F(ShotPlan, RangesMarkMissingFramesAndOutputsFollowTheTarget)
{
    const std::vector<ShotFrame> plan = PlanShot({Path("shot.%d.exr")}, {1, 2, 3, 4}, PatternTarget());
    ASSERT_EQ(plan.size(), 4u);
    std::vector<std::string> outputs;
    for (const ShotFrame& shot : plan) outputs.push_back(shot.output);
    EXPECT_THAT(outputs, ElementsAre("grey.0001.png", "grey.0002.png", "grey.0003.png", "grey.0004.png"));
    EXPECT_TRUE(plan[2].missing);
    EXPECT_THAT(plan[2].problem, HasSubstr("no file " + Path("shot.3.exr")));
    EXPECT_FALSE(plan[3].missing);

    // Plain inputs are kept where their number is in the range; a duplicated output fails the later frame.
    const std::vector<ShotFrame> kept = PlanShot(
        {Path("shot.1.exr"), Path("shot.2.exr"), Path("shot.4.exr"), Path("shot.1.exr")}, {1, 4}, {});
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[1].number, 4);
    EXPECT_TRUE(kept[0].problem.empty());
    EXPECT_THAT(kept[2].problem, HasSubstr("already written from another input"));

    // An output pattern needs a number in each input's name.
    std::ofstream(Path("plain.exr")) << "x";
    EXPECT_THAT(PlanShot({Path("plain.exr")}, {}, PatternTarget())[0].problem, HasSubstr("no frame number"));
}

TEST(WorkerPool, RunsEveryIndexOnceAndHandsOnTheFirstFailure)
{
    for (int workers : {1, 2, 5}) {
        std::vector<std::atomic<int>> runs(37);
        ForEachInParallel(runs.size(), workers, [&](std::size_t index, int worker) {
            EXPECT_LT(worker, workers);
            ++runs[index];
        });
        for (const auto& count : runs) EXPECT_EQ(count.load(), 1) << workers << " workers";
        EXPECT_THROW(ForEachInParallel(10, workers,
                                       [](std::size_t index, int) {
                                           if (index == 3) throw std::runtime_error("stop");
                                       }),
                     std::runtime_error);
    }
}

} // namespace
