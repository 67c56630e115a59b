// The grey scale of a shot: one scale over every frame (--range shot), a scale given outright
// (--range NEAR:FAR, as info prints it for a shot), its ends saturating, the scale taken over the
// selected pixels alone (--range-over selection), whatever the number of workers.
#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "cli_support.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

// Three frames of a camera moving away: each frame's own range differs.
const std::vector<std::vector<double>> SHOT_DEPTHS = {
    {-2, -4, -6, -8}, {-4, -6, -8, -10}, {-6, -8, -1e30, -12}};

class Range : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        for (std::size_t i = 0; i < SHOT_DEPTHS.size(); ++i)
            WriteTestExr(Path("shot." + std::to_string(i + 1) + ".exr"),
                         MakeTestFrame(4, 1, SHOT_DEPTHS[i], {}, {}, {1, 1, 2, 2}));
    }

    std::vector<std::uint16_t> Grey(const std::string& name) const { return ReadPng(Path(name)).Channel(0); }

    std::string FileBytes(const std::string& name) const
    {
        std::ifstream file(Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
};

TEST_F(Range, OneScaleForTheShotGivesEachDepthOneGreyAndEqualsTheRangeInfoPrints)
{
    const std::vector<std::string> frames = {"shot.1.exr", "shot.2.exr", "shot.3.exr"};
    auto apply = [&](std::vector<std::string> options, const std::string& folder) {
        options.insert(options.begin(), "apply");
        options.insert(options.end(), {"-o", folder + "/"});
        options.insert(options.end(), frames.begin(), frames.end());
        const ToolRun run = Run(options);
        EXPECT_EQ(run.status, 0) << run.err;
        return run;
    };
    EXPECT_THAT(apply({"--range", "shot", "-j", "1"}, "one").out,
                HasSubstr("shot range: 2:12 over 3 frames"));
    apply({"--range", "shot", "-j", "3"}, "three");
    std::vector<std::string> info = {"info"};
    info.insert(info.end(), frames.begin(), frames.end());
    const ToolRun described = Run(info);
    const std::size_t at = described.out.find("shot range: ");
    ASSERT_NE(at, std::string::npos) << described.out;
    const std::string range = described.out.substr(at + 12, described.out.find('\n', at) - at - 12);
    EXPECT_EQ(range, "2:12");
    apply({"--range", range}, "fixed");

    std::map<double, std::uint16_t> greyOf; // each depth's grey, the same in every frame
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::string name = "shot." + std::to_string(i + 1) + ".png";
        EXPECT_EQ(FileBytes("one/" + name), FileBytes("three/" + name)) << name;
        EXPECT_EQ(FileBytes("one/" + name), FileBytes("fixed/" + name)) << name;
        const std::vector<std::uint16_t> grey = Grey("one/" + name);
        for (std::size_t p = 0; p < grey.size(); ++p) {
            const double depth = SHOT_DEPTHS[i][p];
            if (depth == -1e30) continue;
            const auto [known, added] = greyOf.emplace(depth, grey[p]);
            EXPECT_EQ(known->second, grey[p]) << "depth " << depth << " in " << name;
        }
    }
    EXPECT_EQ(greyOf[-2], 65535);
    EXPECT_EQ(greyOf[-12], 0);
    EXPECT_GT(greyOf[-6], greyOf[-8]);
    // Each frame alone has its own scale, so the same depth gets other greys.
    apply({}, "own");
    EXPECT_THAT(Grey("own/shot.2.png"), ElementsAre(65535, 43690, 21845, 0));
}

TEST_F(Range, AGivenScaleSaturatesAtBothEndsAndTheReportRecordsIt)
{
    WriteTestExr(Path("wide.exr"), MakeTestFrame(4, 1, {-1, -3, -9, -20}));
    for (const char* format : {"png", "exr"}) {
        const ToolRun run = Run({"apply", "--range", "3:9", "--format", format, "--report", "r.json",
                                 "wide.exr", "-o", std::string("out.") + format});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_THAT(run.err, Not(HasSubstr("warning"))); // the scale's row is no part of the frame
        const nlohmann::json report = nlohmann::json::parse(FileBytes("r.json"));
        EXPECT_EQ(report["frames"][0]["depth_range"]["nearest"], 3);
        EXPECT_EQ(report["frames"][0]["depth_range"]["farthest"], 9);
    }
    const Png png = ReadPng(Path("out.png"));
    EXPECT_EQ(png.height, 1); // the scale's row is in no output
    EXPECT_THAT(png.Channel(0), ElementsAre(65535, 65535, 0, 0));
    EXPECT_THAT(png.Channel(3), ElementsAre(65535, 65535, 0, 0));
    EXPECT_THAT(Run({"info", "out.exr"}).out, HasSubstr("size:          4 x 1"));
    // Filtered again, the EXR's colour holds the same greys.
    ASSERT_EQ(Run({"apply", "--mode", "object", "--id", "9", "out.exr", "-o", "again.png"}).status, 0);
    EXPECT_THAT(Grey("again.png"), ElementsAre(65535, 65535, 0, 0));
}

TEST_F(Range, OverTheSelectionTheSelectedPixelsGetTheWholeScale)
{
    // Object 2 lies at depths 6 and 8 of shot.1, within a frame running from 2 to 8.
    ToolRun run = Run({"apply", "--mode", "object", "--id", "2", "shot.1.exr", "-o", "frame.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::uint16_t> frame = Grey("frame.png");
    EXPECT_EQ(frame[3], 0);
    EXPECT_EQ(frame[2], 21845);
    run = Run({"apply", "--mode", "object", "--id", "2", "--range-over", "selection", "shot.1.exr", "-o",
               "own.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::uint16_t> own = Grey("own.png");
    EXPECT_THAT(std::vector<std::uint16_t>(own.begin() + 2, own.end()), ElementsAre(65535, 0));
    EXPECT_EQ(own[0], frame[0]); // not selected: its colour kept
    // Over the shot, object 2 runs from 6 (shot.1) to 12 (shot.3).
    run = Run({"apply", "--mode", "object", "--id", "2", "--range-over", "selection", "--range", "shot", "-o",
               "grey/", "shot.1.exr", "shot.2.exr", "shot.3.exr"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("shot range: 6:12"));
    EXPECT_EQ(Grey("grey/shot.1.png")[2], 65535);
    EXPECT_EQ(Grey("grey/shot.3.png")[3], 0);
}

TEST_F(Range, AShotWithNoDepthTakingPartIsRefusedAndWritesNothing)
{
    WriteTestExr(Path("sky.exr"), MakeTestFrame(2, 1, {1e10, -1e30}));
    const ToolRun run = Run({"apply", "--range", "shot", "sky.exr", "-o", "sky.png"});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err,
                HasSubstr("--range shot: no depth takes part in any frame (after --background auto)"));
    EXPECT_FALSE(std::filesystem::exists(Path("sky.png")));
}

// The grey of depth d on a scale by the inverse curve, in double precision: 16 bits as the
// filter truncates them, 8 bits as the nearest of 255.
double InverseGrey(double d, double nearest, double farthest, int bits)
{
    d = std::clamp(std::fabs(d), nearest, farthest);
    const double g = (1 / d - 1 / farthest) / (1 / nearest - 1 / farthest);
    return bits == 16 ? std::floor(g * 65535) : std::round(g * 255);
}

TEST_F(Range, TheInverseCurveGivesGreysWithinTwoLevelsOfItsFormula)
{
    std::vector<double> depth;
    for (int i = 0; i < 4096; ++i) depth.push_back((i % 2 ? -1 : 1) * 0.5 * std::pow(4000.0, i / 4095.0));
    WriteTestExr(Path("wide.exr"), MakeTestFrame(64, 64, depth));
    struct Case {
        std::vector<std::string> range;
        double nearest, farthest;
    };
    const Case cases[] = {{{}, 0.5, 2000}, {{"--range", "3:700"}, 3, 700}, {{"--clip", "0:100"}, 0.5, 2000}};
    for (const Case& test : cases)
        for (int bits : {16, 8}) {
            std::vector<std::string> options = {"--curve", "inverse", "--bits", std::to_string(bits),
                                                "wide.exr"};
            options.insert(options.end(), test.range.begin(), test.range.end());
            const std::vector<std::uint16_t> grey = Applied(options, "inv.png").Channel(0);
            for (std::size_t p = 0; p < depth.size(); ++p)
                ASSERT_NEAR(grey[p], InverseGrey(depth[p], test.nearest, test.farthest, bits), 2)
                    << bits << " bits, depth " << depth[p] << ", scale " << test.nearest << ":"
                    << test.farthest;
        }
    // An EXR output keeps the depth as stored: filtered again it gives the input's own greys.
    ASSERT_EQ(Run({"apply", "--curve", "inverse", "wide.exr", "-o", "inv.exr"}).status, 0);
    EXPECT_EQ(Applied({"inv.exr"}, "again.png").samples, Applied({"wide.exr"}, "plain.png").samples);
}

TEST_F(Range, StrayFarPixelsMoveTheNearestToFarthestScaleButNotTheClippedOne)
{
    std::vector<double> depth;
    for (int i = 0; i < 1000; ++i) depth.push_back(-(2 + i % 100 * 0.1));
    std::vector<double> stray = depth;
    for (int i = 0; i < 20; ++i) stray[i * 50] = -5000;
    WriteTestExr(Path("clean.exr"), MakeTestFrame(100, 10, depth));
    WriteTestExr(Path("stray.exr"), MakeTestFrame(100, 10, stray));
    auto greys = [&](const std::vector<std::string>& options, const std::string& input) {
        std::vector<std::string> all = options;
        all.push_back(input);
        return Applied(all, "out.png").Channel(0);
    };
    // Pixel 99 is the scene's farthest depth, 49 one in the middle.
    EXPECT_EQ(greys({}, "clean.exr")[99], 0);
    EXPECT_GT(greys({}, "stray.exr")[99], 65000); // squeezed into the top greys
    EXPECT_EQ(greys({"--clip", "5:95"}, "stray.exr")[99], 0);
    EXPECT_NEAR(greys({"--clip", "5:95"}, "clean.exr")[49], greys({"--clip", "5:95"}, "stray.exr")[49], 1500);
    const ToolRun run = Run({"apply", "--clip", "5:95", "--report", "r.json", "stray.exr", "-o", "s.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json report = nlohmann::json::parse(FileBytes("r.json"));
    const nlohmann::json& range = report["frames"][0]["depth_range"];
    EXPECT_GT(range["nearest"].get<double>(), 2.0);
    EXPECT_LT(range["farthest"].get<double>(), 12.0);
}

TEST_F(Range, AClippedShotScaleIsTheOneInfoPrintsAndAZeroNearestIsRefusedByTheInverseCurve)
{
    const std::vector<std::string> frames = {"shot.1.exr", "shot.2.exr", "shot.3.exr"};
    std::vector<std::string> info = {"info", "--clip", "10:90"};
    info.insert(info.end(), frames.begin(), frames.end());
    const ToolRun described = Run(info);
    EXPECT_THAT(described.out, HasSubstr("shot nearest to farthest: 2:12\nshot range: 4:10\n"));
    std::vector<std::string> apply = {"apply", "--clip", "10:90", "--range", "shot", "-o", "grey/"};
    apply.insert(apply.end(), frames.begin(), frames.end());
    const ToolRun run = Run(apply);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out,
                HasSubstr("shot range: 4:10 over 3 frames (--clip 10:90; nearest to farthest 2:12)"));
    EXPECT_THAT(Grey("grey/shot.1.png"), ElementsAre(65535, 65535, 43690, 21845));

    WriteTestExr(Path("zero.exr"), MakeTestFrame(2, 1, {0, -4}));
    ToolRun refused = Run({"apply", "--curve", "inverse", "--background", "none", "zero.exr", "-o", "z.png"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err, HasSubstr("nearest depth magnitude taking part is 0"));
    EXPECT_FALSE(std::filesystem::exists(Path("z.png")));
    refused = Run({"apply", "--curve", "inverse", "--background", "none", "--range", "shot", "zero.exr", "-o",
                   "z.png"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err, HasSubstr("no frame was written"));
}

} // namespace
