// Frames as other renderers write them: positive half-float depths on the object, 0 with alpha 0
// where nothing was rendered, the data window inside a larger display window; 1e10 under alpha 1;
// and what the automatic background rule makes of them.
#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>

#include "cli_support.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

// A 4 x 1 data window at (2, 1) inside a 6 x 3 display window: background, then the object at
// depths 8, 12 and 16 (exact in half floats), `shift` added to all three.
TestFrame RendererFrame(double shift = 0.0)
{
    TestFrame frame = MakeTestFrame(4, 1, {0, 8 + shift, 12 + shift, 16 + shift},
                                    {0, 0, 0, 0, 0.5, 0.5, 0.5, 1, 0.5, 0.5, 0.5, 1, 0.5, 0.5, 0.5, 1});
    frame.channels[4].type = Imf::HALF;
    frame.minX = 2;
    frame.minY = 1;
    frame.displayWidth = 6;
    frame.displayHeight = 3;
    return frame;
}

// Row 1 of the 6 x 3 PNG, from column 2: the data window's four pixels, one component.
std::vector<std::uint16_t> DataRow(const Png& png, int component)
{
    std::vector<std::uint16_t> row;
    for (int x = 2; x < 6; ++x) row.push_back(png.samples[(1 * 6 + x) * 4 + component]);
    return row;
}

class Background : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        WriteTestExr(Path("frame.exr"), RendererFrame());
    }
};

TEST_F(Background, AsStoredTheEmptyBackgroundIsWhiteAndTheHintNamesTheOption)
{
    const ToolRun run = Run({"apply", "--background", "none", "frame.exr", "-o", "out.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    // The range runs from the background's 0 to 16, so the object is left in dark greys whose
    // alpha equals their grey.
    const Png png = ReadPng(Path("out.png"));
    EXPECT_THAT(DataRow(png, 0), ElementsAre(65535, 32767, 16383, 0));
    EXPECT_THAT(DataRow(png, 3), ElementsAre(65535, 32767, 16383, 0));
    EXPECT_THAT(run.err,
                HasSubstr("hint: frame.exr: 25.0% of the frame lies at the nearest depth (0) with alpha 0"));
    EXPECT_THAT(run.err, HasSubstr("Try --background alpha (or --background depth:0)"));
}

TEST_F(Background, AutoAlphaOrDepthRuleGivesTheObjectInFullGreyOverTransparentBlack)
{
    for (const char* rule : {"auto", "alpha", "depth:0"}) {
        const ToolRun run = Run({"apply", "--background", rule, "frame.exr", "-o", "out.png"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_THAT(run.err, Not(HasSubstr("hint")));
        EXPECT_EQ(
            run.err.find("note: frame.exr: --background auto handed 25.0% of the frame to the filter as "
                         "nothing rendered (depth magnitude 1e10 or more, or depth 0 under alpha 0)") !=
                std::string::npos,
            std::string(rule) == "auto")
            << run.err;
        const Png png = ReadPng(Path("out.png"));
        EXPECT_THAT(DataRow(png, 0), ElementsAre(0, 65535, 32767, 0)) << rule;
        EXPECT_THAT(DataRow(png, 3), ElementsAre(0, 65535, 32767, 0)) << rule;
    }
}

TEST_F(Background, FarBackgroundValueIsNamedExactly)
{
    // As a path tracer writes a sky under an opaque world: 1e10 with alpha 1, and infinity.
    TestFrame frame = MakeTestFrame(4, 1, {1e10, 8, 12, 16});
    WriteTestExr(Path("far.exr"), frame);
    WriteTestExr(Path("inf.exr"), MakeTestFrame(4, 1, {INFINITY, 8, 12, 16}));
    ToolRun run = Run({"apply", "--background", "none", "far.exr", "-o", "stored.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    // As stored, 1e10 takes part in the range and squeezes the object into white.
    EXPECT_THAT(ReadPng(Path("stored.png")).Channel(0), ElementsAre(0, 65535, 65534, 65534));
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--background", "depth:1e10"}, std::vector<std::string>{}}) {
        std::vector<std::string> arguments = {"apply", "far.exr", "inf.exr", "-o", "grey/"};
        arguments.insert(arguments.begin() + 1, options.begin(), options.end());
        run = Run(arguments);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_THAT(ReadPng(Path("grey/far.png")).Channel(0), ElementsAre(0, 65535, 32767, 0));
    }
    EXPECT_THAT(ReadPng(Path("grey/inf.png")).Channel(0), ElementsAre(0, 65535, 32767, 0));
    // The rule's note comes once a run, for the first frame it takes pixels of.
    EXPECT_THAT(run.err, HasSubstr("note: far.exr: --background auto handed 25.0% of the frame"));
    EXPECT_EQ(run.err.find("note: inf.exr: --background"), std::string::npos) << run.err;
}

// A frame as a path tracer renders it (48 x 27, written by fixtures/dolly.py): a render layer whose
// sky, under an opaque world, is at depth 1e10 with alpha 1.
TEST_F(Background, ARenderersFrameGivesTheExpectedPictureWithNoOptions)
{
    const std::string frame = std::string(DEEPGLASS_FIXTURES) + "/cycles-dolly.0001.exr";
    ToolRun run = Run({"apply", frame, "-o", "auto.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.err, HasSubstr("--background auto handed 3.2% of the frame to the filter"));
    ASSERT_EQ(Run({"apply", "--background", "depth:1e10", frame, "-o", "named.png"}).status, 0);
    const Png picture = ReadPng(Path("auto.png"));
    EXPECT_EQ(picture.samples, ReadPng(Path("named.png")).samples);
    // The sky is black, and the rest spans the whole grey scale rather than crowding white.
    const std::vector<std::uint16_t> grey = picture.Channel(0);
    EXPECT_EQ(grey.front(), 0);
    EXPECT_EQ(*std::max_element(grey.begin(), grey.end()), 65535);
    EXPECT_LT(grey[grey.size() / 2], 50000);
    ASSERT_EQ(Run({"apply", "--background", "none", frame, "-o", "stored.png"}).status, 0);
    const std::vector<std::uint16_t> stored = ReadPng(Path("stored.png")).Channel(0);
    EXPECT_GE(stored[stored.size() / 2], 65534);
}

TEST_F(Background, PngHoldsTheDisplayWindowAndOpaqueMakesEveryAlphaFull)
{
    ToolRun run = Run({"apply", "--background", "alpha", "--png", "rgba", "frame.exr", "-o", "out.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    Png png = ReadPng(Path("out.png"));
    EXPECT_EQ(png.width, 6);
    EXPECT_EQ(png.height, 3);
    // Outside the data window: transparent black.
    EXPECT_THAT(std::vector<std::uint16_t>(png.samples.begin(), png.samples.begin() + 4),
                ElementsAre(0, 0, 0, 0));

    run =
        Run({"apply", "--background", "alpha", "--png", "rgba", "--opaque", "frame.exr", "-o", "opaque.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    png = ReadPng(Path("opaque.png"));
    EXPECT_THAT(DataRow(png, 0), ElementsAre(0, 65535, 32767, 0));
    for (std::uint16_t alpha : png.Channel(3)) EXPECT_EQ(alpha, 65535);
}

TEST_F(Background, SequenceOfSuchFramesIsFilteredFrameByFrame)
{
    std::vector<std::string> arguments = {"apply", "--background", "alpha", "-o", "grey"};
    for (int i = 1; i <= 3; ++i) {
        const std::string name = "shot." + std::to_string(i) + ".exr";
        WriteTestExr(Path(name), RendererFrame(i * 8.0));
        arguments.push_back(name);
    }
    const ToolRun run = Run(arguments);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("3 frames: 3 written, 0 failed"));
    for (int i = 1; i <= 3; ++i) {
        const Png png = ReadPng(Path("grey/shot." + std::to_string(i) + ".png"));
        EXPECT_EQ(png.width, 6) << i;
        EXPECT_THAT(DataRow(png, 0), ElementsAre(0, 65535, 32767, 0)) << i;
    }
}

TEST_F(Background, InfoPrintsOneLineAFrameWithRangeBackgroundAndIds)
{
    WriteTestExr(Path("b.exr"), MakeTestFrame(4, 1, {-1e30, -2, -3, -4}, {}, {1, 2, 2, 1}, {7, 7, 9, 9}));
    ToolRun run = Run({"info", "--background", "none", "frame.exr", "b.exr"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(
        run.out,
        "frame.exr  4x1  depth 0 to 16  background 0.0%  alpha 0 25.0%  materialID none  objectID none\n"
        "b.exr  4x1  depth 2 to 4  background 25.0%  alpha 0 0.0%  materialID 1,2  objectID 7,9\n"
        "shot range: 0:16\n"
        "kept colour (apply --mode material or object, PNG): the sRGB curve (IEC 61966-2-1)\n");
    run = Run({"info", "frame.exr", "b.exr"});
    EXPECT_THAT(run.out, HasSubstr("frame.exr  4x1  depth 8 to 16  background 25.0%  alpha 0 25.0%"));
    EXPECT_THAT(run.out, HasSubstr("\nshot range: 2:16\n"));
    run = Run({"info", "frame.exr"});
    EXPECT_THAT(run.out, HasSubstr("rule auto:     25.0% taken as nothing rendered"));

    run = Run({"info", "b.exr"});
    EXPECT_THAT(run.out, Not(HasSubstr("shot range")));
    EXPECT_THAT(run.out, HasSubstr("channels:      A (HALF), B (HALF), G (HALF), R (HALF), Z (FLOAT), "
                                   "materialID (UINT), objectID (UINT)"));
    EXPECT_THAT(run.out, HasSubstr("materialID:    1 (2 px), 2 (2 px)"));
    EXPECT_THAT(run.out, HasSubstr("background:    25.0%"));

    run = Run({"info", "frame.exr", "missing.exr"});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr("missing.exr"));
}

} // namespace
