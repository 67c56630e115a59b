// Deep frames: each pixel's samples ordered by depth, its colour composited front to back, its
// depth the nearest visible sample's; read scanline or tiled, single- or multi-part, per view; the
// same picture as the flat frame they stand for; EXR output flattened; damaged counts refused.
#include <gmock/gmock.h>
#include <half.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

#include "cli_support.h"
#include "exr_layouts.h"

using ::testing::HasSubstr;

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();

// 3 x 2 pixels: unsorted samples, a transparent sample in front, an empty pixel, a sample behind
// an opaque one, an opaque one, a semi-transparent one alone. Colour: R = c, G = c / 2, B = 0.
std::vector<std::vector<DeepSample>> Pixels(float shift)
{
    auto s = [shift](float z, float a, float c) { return DeepSample{z + shift, a, c, c / 2, 0}; };
    return {{s(5, 1, 0.25f), s(2, 0.5f, 0.5f)},
            {s(1, 0, 0.125f), s(3, 1, 0.5f)},
            {},
            {s(4, 1, 0.75f), s(6, 1, 0.25f)},
            {s(8, 1, 1)},
            {s(2.5f, 0.25f, 0.25f)}};
}

// What the pixels above flatten to, as a flat frame; `objects` where the frame has object IDs.
TestFrame FlatOf(float shift, std::vector<double> objects = {})
{
    const std::vector<double> c = {0.625, 0.625, 0, 0.75, 1, 0.25};
    std::vector<double> half(c.size()), zero(c.size(), 0);
    for (std::size_t i = 0; i < c.size(); ++i) half[i] = c[i] / 2;
    TestFrame frame;
    frame.width = 3;
    frame.height = 2;
    frame.channels = {{"R", Imf::HALF, c},
                      {"G", Imf::HALF, half},
                      {"B", Imf::HALF, zero},
                      {"A", Imf::HALF, {1, 1, 0, 1, 1, 0.25}},
                      {"Z", Imf::FLOAT, {2 + shift, 3 + shift, INF, 4 + shift, 8 + shift, 2.5 + shift}}};
    if (!objects.empty()) frame.channels.push_back({"objectID", Imf::UINT, objects});
    return frame;
}

DeepTestPart DeepPart(const std::string& name, const std::string& view, float shift, bool tiled = false)
{
    return {name, view, 3, 2, tiled, Pixels(shift)};
}

const std::vector<double> OBJECTS = {9, 0, 9, 9, 0, 9};

class Deep : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        WriteDeepTestParts(Path("scanline.exr"), {DeepPart("", "", 0)});
        WriteDeepTestParts(Path("tiled.exr"), {DeepPart("", "", 0, true)});
        WriteDeepTestParts(Path("zips.exr"), {{"", "", 3, 2, false, Pixels(0), 2}});
        // Two views as deep parts, and their object IDs in a flat part of no view.
        TestPart ids{"ids", "", {}};
        ids.frame.width = 3;
        ids.frame.height = 2;
        ids.frame.channels = {{"objectID", Imf::UINT, OBJECTS}};
        WriteDeepTestParts(Path("stereo.exr"),
                           {DeepPart("left", "left", 0), DeepPart("right", "right", 1, true)}, {ids});
        WriteTestExr(Path("flat.exr"), FlatOf(0));
        WriteTestExr(Path("flat-left.exr"), FlatOf(0, OBJECTS));
        WriteTestExr(Path("flat-right.exr"), FlatOf(1, OBJECTS));
    }

    std::string Bytes(const std::string& name) const
    {
        std::ifstream file(Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
};

TEST_F(Deep, EveryDeepLayoutGivesThePictureOfItsFlatVersion)
{
    struct Case {
        std::string input;
        std::vector<std::string> arguments;
        std::string flat;
    };
    const Case cases[] = {
        {"scanline.exr", {}, "flat.exr"},
        {"tiled.exr", {}, "flat.exr"},
        {"zips.exr", {}, "flat.exr"},
        {"stereo.exr", {"--view", "left"}, "flat-left.exr"},
        {"stereo.exr", {"--view", "right"}, "flat-right.exr"},
    };
    // The grey picture, and the composited colour itself where the filter selects only some pixels.
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{},
          std::vector<std::string>{"--mode", "object", "--id", "9", "--png", "rgba", "--bits", "16",
                                   "--colour", "linear"}}) {
        for (const Case& test : cases) {
            std::vector<std::string> arguments = mode;
            arguments.push_back(test.flat);
            const std::vector<std::uint16_t> expected = Applied(arguments, "expected.png").samples;
            arguments = mode;
            arguments.insert(arguments.end(), test.arguments.begin(), test.arguments.end());
            arguments.push_back(test.input);
            EXPECT_EQ(Applied(arguments, "actual.png").samples, expected)
                << test.input << " " << (mode.empty() ? "whole" : "object");
        }
    }
    // Nearest (2) white, farthest (8) black, the empty pixel transparent black.
    const Png grey = Applied({"--png", "rgba", "scanline.exr"}, "grey.png");
    EXPECT_EQ(grey.Channel(0)[0], 65535);
    EXPECT_EQ(grey.Channel(0)[4], 0);
    EXPECT_EQ(grey.Channel(3)[2], 0);
    // The composited colour: 0.625 red, 0.3125 green in 16 bits.
    const Png colour = Applied({"--mode", "object", "--id", "9", "--png", "rgba", "--bits", "16", "--colour",
                                "linear", "scanline.exr"},
                               "colour.png");
    EXPECT_EQ(colour.Channel(0)[0], 40959);
    EXPECT_EQ(colour.Channel(1)[0], 20480);
}

TEST_F(Deep, ExrOutputIsFlatWithTheDepthsChosenAndKeepsTheFlatParts)
{
    const std::string before = Bytes("stereo.exr");
    const ToolRun run = Run({"apply", "--view", "left", "stereo.exr", "-o", "out.exr"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.err, HasSubstr("the deep part left is written flattened"));
    EXPECT_EQ(Bytes("stereo.exr"), before);
    const std::vector<RawPart> parts = ReadRawParts(Path("out.exr"));
    ASSERT_EQ(parts.size(), 3u);
    const float depths[] = {2, 3, std::numeric_limits<float>::infinity(), 4, 8, 2.5f};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(parts[0].channels.at("Z").samples[i], std::bit_cast<std::uint32_t>(depths[i])) << i;
        EXPECT_EQ(parts[1].channels.at("Z").samples[i], std::bit_cast<std::uint32_t>(depths[i] + 1)) << i;
        EXPECT_EQ(parts[2].channels.at("objectID").samples[i], OBJECTS[i]) << i;
    }
    EXPECT_EQ(parts[1].channels.at("R").samples[0], half(0.625f).bits()); // the right view as read
    EXPECT_EQ(parts[0].channels.at("R").samples[0], half(1.0f).bits());   // the left one filtered
}

TEST_F(Deep, InfoCountsTheSamples)
{
    ToolRun run = Run({"info", "scanline.exr"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("deep samples:  8 in all, at most 2 a pixel, 1 px without any"));
    EXPECT_THAT(run.out, HasSubstr("2 to 8 (magnitudes that take part)"));
    run = Run({"info", "stereo.exr"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("1 right (view right), deep tiled: A (HALF)"));
    run = Run({"info", "scanline.exr", "tiled.exr"});
    EXPECT_THAT(run.out, HasSubstr("deep samples 8"));
}

TEST_F(Deep, DamagedSampleCountsAndOversizedClaimsAreRefused)
{
    // An uncompressed deep scanline file stores each row's counts as running totals: row 0's are
    // 2, 4, 4. A total that falls (a negative count) and one far beyond the file's samples.
    const std::string good = Bytes("scanline.exr");
    const std::string totals("\x02\0\0\0\x04\0\0\0\x04\0\0\0", 12);
    const std::size_t at = good.find(totals);
    ASSERT_NE(at, std::string::npos);
    auto damaged = [&](const std::string& name, std::uint32_t second, std::uint32_t third) {
        std::string bytes = good;
        std::memcpy(bytes.data() + at + 4, &second, 4);
        std::memcpy(bytes.data() + at + 8, &third, 4);
        std::ofstream(Path(name), std::ios::binary) << bytes;
    };
    damaged("negative.exr", 1, 4);
    damaged("huge.exr", 4, 0x7ffffff0);
    for (const char* name : {"negative.exr", "huge.exr"}) {
        RunLimits limits;
        limits.measureMemory = true;
        const ToolRun run = Run({"apply", name, "-o", "out.png"}, limits);
        EXPECT_EQ(run.status, 1) << name << run.err;
        EXPECT_THAT(run.err, HasSubstr(name));
        EXPECT_LT(run.peakKilobytes, 200 * 1024) << name;
        EXPECT_FALSE(std::filesystem::exists(Path("out.png")));
    }
    // Counts the file could hold, but more than the memory allowed.
    WriteDeepTestParts(Path("many.exr"),
                       {{"", "", 64, 64, false,
                         std::vector<std::vector<DeepSample>>(4096, std::vector<DeepSample>(64)), 2}});
    const ToolRun run = Run({"apply", "--max-memory", "1M", "many.exr", "-o", "out.png"});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr("its sample counts claim 262144 samples (5.0 MB), more than the 1.0 MB"));
}

} // namespace
