// One stereo frame stored in each layout renderers write (several parts with a view each, one
// multi-view part, render layers, compositing names): every form gives the picture of the plain
// frame of its eye, and an EXR output keeps everything but the pixels the filter rewrote.
#include <ImfPixelType.h>
#include <openexr.h>

#include <gmock/gmock.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>

#include "exr_layouts.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

constexpr double NOTHING = -1e30;
const double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();
const double INF = std::numeric_limits<double>::infinity();
constexpr int WIDTH = 4;
constexpr int HEIGHT = 2;

struct Eye {
    std::vector<double> depth, colour, materials, objects;
};

// Colour beyond 0..1, NaN and infinity: what a renderer's HDR output holds.
const std::vector<double> HDR = {
    2.5, 0.5,   NOT_A_NUMBER, 1,     0.25, -1,  0.75, 0.5, 1, 1, 1, 0, 0.5,   0.5, 0.5, 1,
    INF, 0.125, 0.25,         0.375, 3,    0.5, 4,    1,   0, 0, 0, 1, 65504, 1,   2,   0.5};
const Eye RIGHT = {
    {-10, -20, -30, NOTHING, -10, -20, -30, -15}, HDR, {1, 2, 1, 0, 2, 2, 1, 1}, {5, 5, 7, 0, 7, 300, 5, 5}};
const Eye LEFT = {
    {-12, -24, -30, NOTHING, -6, -20, -36, -15}, HDR, {2, 2, 1, 0, 1, 2, 2, 1}, {7, 5, 7, 0, 5, 300, 7, 5}};

// The eye's channels under `names`: R, G, B, A, depth, material-effects ID, object ID.
std::vector<TestChannel> Channels(const Eye& eye, const std::array<std::string, 7>& names,
                                  Imf::PixelType colourType = Imf::HALF, Imf::PixelType idType = Imf::UINT)
{
    std::vector<TestChannel> channels;
    for (int c = 0; c < 4; ++c) {
        TestChannel& channel = channels.emplace_back(TestChannel{names[c], colourType, {}});
        for (int i = 0; i < WIDTH * HEIGHT; ++i) channel.values.push_back(eye.colour[4 * i + c]);
    }
    channels.push_back({names[4], Imf::FLOAT, eye.depth});
    channels.push_back({names[5], idType, eye.materials});
    channels.push_back({names[6], idType, eye.objects});
    return channels;
}

std::array<std::string, 7> Plain(const std::string& prefix = "")
{
    return {prefix + "R", prefix + "G",          prefix + "B",       prefix + "A",
            prefix + "Z", prefix + "materialID", prefix + "objectID"};
}

std::array<std::string, 7> Multilayer(const std::string& layer)
{
    const std::string c = layer + ".Combined.";
    return {
        c + "R", c + "G", c + "B", c + "A", layer + ".Depth.Z", layer + ".IndexMA.X", layer + ".IndexOB.X"};
}

TestFrame FrameOf(std::vector<TestChannel> channels)
{
    TestFrame frame;
    frame.width = WIDTH;
    frame.height = HEIGHT;
    frame.channels = std::move(channels);
    return frame;
}

TestPart Part(const std::string& name, const std::string& view, std::vector<TestChannel> channels)
{
    return {name, view, FrameOf(std::move(channels))};
}

std::vector<TestChannel> Slice(std::vector<TestChannel> channels, std::size_t from, std::size_t count)
{
    return {channels.begin() + static_cast<std::ptrdiff_t>(from),
            channels.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

class Layouts : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        WriteTestParts(Path("plain-right.exr"), {Part("", "", Channels(RIGHT, Plain()))});
        WriteTestParts(Path("plain-left.exr"), {Part("", "", Channels(LEFT, Plain()))});
        // Eight parts; the left colour part covers one more column (x = -1) than its depth.
        TestPart leftColour = Part("rgba_left", "left", Slice(Channels(LEFT, Plain()), 0, 4));
        leftColour.frame.minX = -1;
        leftColour.frame.width = WIDTH + 1;
        for (TestChannel& channel : leftColour.frame.channels)
            for (int y = HEIGHT - 1; y >= 0; --y)
                channel.values.insert(channel.values.begin() + y * WIDTH, 9.0);
        const TestChannel forward{"forward.u", Imf::HALF, std::vector<double>(WIDTH * HEIGHT, 0.125)};
        WriteTestParts(Path("multipart.exr"),
                       {Part("rgba_right", "right", Slice(Channels(RIGHT, Plain()), 0, 4)), leftColour,
                        Part("depth_right", "right", Slice(Channels(RIGHT, Plain()), 4, 1)),
                        Part("depth_left", "left", Slice(Channels(LEFT, Plain()), 4, 1)),
                        Part("ids_right", "right", Slice(Channels(RIGHT, Plain()), 5, 2)),
                        Part("ids_left", "left", Slice(Channels(LEFT, Plain()), 5, 2)),
                        Part("forward_right", "right", {forward}), Part("forward_left", "left", {forward})});
        std::vector<TestChannel> both = Channels(RIGHT, Plain());
        for (TestChannel& channel : Channels(LEFT, Plain("left."))) both.push_back(channel);
        both.push_back({"forward.left.u", Imf::HALF, forward.values});
        WriteTestParts(Path("multiview.exr"), {Part("", "", both)}, {"right", "left"});
        WriteTestParts(Path("multilayer.exr"),
                       {Part("", "", Channels(LEFT, Multilayer("ViewLayer"), Imf::FLOAT, Imf::FLOAT))});
        std::vector<TestChannel> layers = Channels(LEFT, Multilayer("ViewLayer"), Imf::FLOAT, Imf::FLOAT);
        for (TestChannel& channel : Channels(RIGHT, Multilayer("Other"), Imf::FLOAT, Imf::FLOAT))
            layers.push_back(channel);
        WriteTestParts(Path("two-layers.exr"), {Part("", "", layers)});
        std::array<std::string, 7> compositing = Plain();
        compositing[4] = "depth.Z";
        WriteTestParts(Path("compositing.exr"), {Part("", "", Channels(LEFT, compositing))});
        // Float HDR colour and a chroma channel at half resolution, which nothing needs.
        TestPart hdr = Part("", "", Channels(RIGHT, Plain(), Imf::FLOAT));
        hdr.frame.channels.push_back({"chroma.RY", Imf::HALF, {0.5, -0.25}, 2});
        WriteTestParts(Path("hdr.exr"), {hdr});
    }

    // The PNG samples of one run; a failed run fails the test.
    std::vector<std::uint16_t> Picture(const std::vector<std::string>& arguments, const std::string& output)
    {
        return Applied(arguments, output).samples;
    }
};

TEST_F(Layouts, EveryLayoutGivesThePictureOfThePlainFrameOfItsView)
{
    struct Case {
        std::string input;
        std::vector<std::string> arguments;
        std::string plain;
    };
    const Case cases[] = {
        {"multipart.exr", {"--view", "left"}, "plain-left.exr"},
        {"multipart.exr", {}, "plain-right.exr"}, // the first part's view is the default
        {"multiview.exr", {"--view", "left"}, "plain-left.exr"},
        {"multiview.exr", {}, "plain-right.exr"}, // the first view listed is the default
        {"multilayer.exr", {}, "plain-left.exr"},
        {"two-layers.exr", {"--layer", "Other"}, "plain-right.exr"},
        {"compositing.exr", {}, "plain-left.exr"},
        {"hdr.exr", {}, "plain-right.exr"},
    };
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{"--mode", "object", "--id", "7"},
          std::vector<std::string>{"--mode", "material", "--id", "2"}}) {
        for (const Case& test : cases) {
            std::vector<std::string> arguments = mode;
            arguments.push_back(test.plain);
            const std::vector<std::uint16_t> expected = Picture(arguments, "expected.png");
            arguments = mode;
            arguments.insert(arguments.end(), test.arguments.begin(), test.arguments.end());
            arguments.push_back(test.input);
            EXPECT_EQ(Picture(arguments, "actual.png"), expected) << test.input << " " << mode[1];
        }
    }
}

TEST_F(Layouts, AllViewsGoToAnOutputEachAndInfoNamesViewsPartsAndChannelsTaken)
{
    ToolRun run = Run({"apply", "--view", "all", "multipart.exr", "-o", "grey/", "--report", "run.json"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("multipart.exr -> grey/multipart.right.png, grey/multipart.left.png"));
    // The report and --skip-existing go by the outputs of the views, never by the unwritten base name.
    for (const bool firstRun : {true, false}) {
        std::ifstream report(Path("run.json"));
        const nlohmann::json entry = nlohmann::json::parse(report)["frames"][0];
        EXPECT_EQ(entry["status"], firstRun ? "written" : "skipped");
        EXPECT_EQ(entry["output"], "grey/multipart.right.png");
        EXPECT_THAT(entry["outputs"], ElementsAre("grey/multipart.right.png", "grey/multipart.left.png"));
        if (!firstRun) break;
        run = Run({"apply", "--view", "all", "multipart.exr", "-o", "grey/", "--skip-existing", "--report",
                   "run.json"});
        EXPECT_THAT(run.out, HasSubstr("skipped, grey/multipart.right.png, grey/multipart.left.png exist"));
    }
    std::filesystem::remove(Path("grey/multipart.left.png"));
    run = Run({"apply", "--view", "all", "multipart.exr", "-o", "grey/", "--skip-existing"});
    EXPECT_THAT(run.out, HasSubstr("1 written, 0 failed"));
    EXPECT_THAT(run.err, HasSubstr("note: multipart.exr: channels right: colour R, G, B, A; depth Z;"));
    EXPECT_EQ(ReadPng(Path("grey/multipart.left.png")).samples, Picture({"plain-left.exr"}, "left.png"));
    EXPECT_EQ(ReadPng(Path("grey/multipart.right.png")).samples, Picture({"plain-right.exr"}, "right.png"));

    run = Run({"info", "multipart.exr"});
    EXPECT_THAT(run.out,
                HasSubstr("views:         right (default), left\n  parts:         8\n"
                          "    0 rgba_right (view right), scanline: A (HALF), B (HALF), G (HALF), R (HALF)"));
    EXPECT_THAT(run.out,
                HasSubstr("taken:         colour R, G, B, A; depth Z; material-effects ID materialID; "
                          "object ID objectID"));
    run = Run({"info", "--view", "all", "multiview.exr", "multilayer.exr"});
    EXPECT_THAT(run.out, HasSubstr("multiview.exr right  4x2  depth 10 to 30"));
    EXPECT_THAT(run.out, HasSubstr("multiview.exr left  4x2  depth 6 to 36"));
    EXPECT_THAT(run.out, HasSubstr("multilayer.exr  4x2  depth 6 to 36  background 12.5%  alpha 0 12.5%  "
                                   "ViewLayer.IndexMA.X 0,1,2  ViewLayer.IndexOB.X 0,5,7,300"));
}

// Each file filtered into an EXR: the same parts in the same order with their attributes and
// channels, every sample as stored but those of the filtered view's colour at the rewritten
// pixels, which hold one grey in all four.
TEST_F(Layouts, ExrOutputKeepsEverySampleTheFilterDidNotRewriteBitForBit)
{
    struct Case {
        std::string input;
        std::vector<std::string> arguments;
        std::set<std::string> colour; // "part/channel" of the filtered view's colour
        const Eye* eye;               // whose object IDs select
        double id;
    };
    const std::set<std::string> plain = {"0/R", "0/G", "0/B", "0/A"};
    const Case cases[] = {
        {"multipart.exr", {"--view", "left"}, {"1/R", "1/G", "1/B", "1/A"}, &LEFT, 7},
        {"multiview.exr", {"--view", "left"}, {"0/left.R", "0/left.G", "0/left.B", "0/left.A"}, &LEFT, 7},
        {"multiview.exr", {}, plain, &RIGHT, 7},
        {"hdr.exr", {}, plain, &RIGHT, 7},
        {"hdr.exr", {}, plain, &RIGHT, 99}, // selects nothing: the file comes back as it was
    };
    for (const Case& test : cases) {
        std::vector<std::string> arguments = {"apply", "--mode", "object", "--id",
                                              std::to_string(int(test.id))};
        arguments.insert(arguments.end(), test.arguments.begin(), test.arguments.end());
        arguments.insert(arguments.end(), {test.input, "-o", "out.exr"});
        const ToolRun run = Run(arguments);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::vector<RawPart> input = ReadRawParts(Path(test.input));
        const std::vector<RawPart> output = ReadRawParts(Path("out.exr"));
        ASSERT_EQ(output.size(), input.size()) << test.input;
        std::size_t rewritten = 0;
        for (std::size_t p = 0; p < input.size(); ++p) {
            EXPECT_EQ(output[p].name, input[p].name);
            EXPECT_EQ(output[p].view, input[p].view);
            EXPECT_THAT(output[p].attributes, testing::Contains("comments"));
            ASSERT_EQ(output[p].channels.size(), input[p].channels.size()) << test.input << " part " << p;
            const int width = input[p].dataWindow.max.x - input[p].dataWindow.min.x + 1;
            for (const auto& [name, stored] : input[p].channels) {
                const RawChannel& written = output[p].channels.at(name);
                ASSERT_EQ(written.type, stored.type) << name;
                const bool colour = test.colour.count(std::to_string(p) + "/" + name) != 0;
                for (std::size_t i = 0; i < stored.samples.size(); ++i) {
                    const int x = input[p].dataWindow.min.x + static_cast<int>(i) % width;
                    const int y = input[p].dataWindow.min.y + static_cast<int>(i) / width;
                    const bool selected = colour && x >= 0 && test.eye->objects[y * WIDTH + x] == test.id;
                    if (!selected) {
                        EXPECT_EQ(written.samples[i], stored.samples[i])
                            << test.input << " " << name << " " << i;
                        continue;
                    }
                    ++rewritten;
                    const std::string red = name.substr(0, name.size() - 1) + "R";
                    EXPECT_EQ(written.samples[i], output[p].channels.at(red).samples[i]) << name << " " << i;
                }
            }
        }
        EXPECT_EQ(rewritten, 4 * std::count(test.eye->objects.begin(), test.eye->objects.end(), test.id))
            << test.input;
    }
}

// The whole mode decodes depth and alpha alone: colour and IDs in a part of their own, whose chunk
// is damaged, stop the ID modes but not the whole mode, whose picture is that of the plain frame.
TEST_F(Layouts, TheWholeModeDecodesNeitherColourNorIds)
{
    std::vector<TestChannel> colourAndIds = Slice(Channels(RIGHT, Plain()), 0, 3);
    for (const TestChannel& channel : Slice(Channels(RIGHT, Plain()), 5, 2)) colourAndIds.push_back(channel);
    WriteTestParts(Path("split.exr"), {Part("colour", "", colourAndIds),
                                       Part("depth", "", Slice(Channels(RIGHT, Plain()), 3, 2))});
    exr_context_t context = nullptr;
    ASSERT_EQ(exr_start_read(&context, Path("split.exr").c_str(), nullptr), EXR_ERR_SUCCESS);
    exr_chunk_info_t chunk{};
    ASSERT_EQ(exr_read_scanline_chunk_info(context, 0, 0, &chunk), EXR_ERR_SUCCESS);
    exr_finish(&context);
    {
        std::fstream file(Path("split.exr"), std::ios::in | std::ios::out | std::ios::binary);
        const std::int32_t size = static_cast<std::int32_t>(chunk.packed_size) - 2;
        file.seekp(static_cast<std::streamoff>(chunk.data_offset) - 4);
        file.write(reinterpret_cast<const char*>(&size), sizeof size);
    }
    EXPECT_EQ(Picture({"split.exr"}, "split.png"), Picture({"plain-right.exr"}, "plain.png"));
    const ToolRun run = Run({"apply", "--mode", "object", "--id", "5", "split.exr", "-o", "object.png"});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr("split.exr: damaged EXR file: the chunk of row"));
}

TEST_F(Layouts, UnknownViewsAndLayersAndSeveralDepthsAreNamed)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const Case cases[] = {
        {{"--view", "middle", "multipart.exr"}, "no view middle (the file has the views right, left)"},
        {{"--view", "left", "plain-left.exr"}, "no view left (the file has a single unnamed view)"},
        {{"two-layers.exr"},
         "several depth channels: Other.Depth.Z, ViewLayer.Depth.Z; pick a render layer with --layer"},
        {{"--layer", "Third", "two-layers.exr"}, "no layer Third (the view has Other, ViewLayer)"},
    };
    for (const Case& test : cases) {
        std::vector<std::string> arguments = {"apply"};
        arguments.insert(arguments.end(), test.arguments.begin(), test.arguments.end());
        arguments.insert(arguments.end(), {"-o", "out.png"});
        const ToolRun run = Run(arguments);
        EXPECT_EQ(run.status, 1) << test.message;
        EXPECT_THAT(run.err, HasSubstr(test.message));
        EXPECT_FALSE(std::filesystem::exists(Path("out.png")));
    }
}

} // namespace
