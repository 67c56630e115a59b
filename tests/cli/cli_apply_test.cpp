// The tool end to end on frames of known depths and IDs: each mode's exact grey levels through
// the built module, colour conversion, tiled input, EXR output and a sequence run.
#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <half.h>

#include <gmock/gmock.h>

#include <fstream>
#include <iterator>

#include "cli_support.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

namespace {

constexpr double BACKGROUND = -1e30;

// Depths -10 .. -30 give the grey levels 65535, 32767, 0; -15 gives 49151; -1e30 is background.
TestFrame ModesFrame()
{
    return MakeTestFrame(4, 2, {-10, -20, -30, BACKGROUND, -10, -20, -30, -15}, {}, {1, 2, 1, 0, 2, 2, 1, 1},
                         {5, 5, 7, 0, 7, 300, 5, 5});
}

// The default colour of MakeTestFrame (0.25, 0.5, 0.75, 1) in 16 bits.
const std::vector<std::uint16_t> KEPT = {16384, 32768, 49151, 65535};

std::vector<std::uint16_t> Grey(std::uint16_t level) { return {level, level, level, level}; }

std::vector<std::uint16_t> Pixel(const Png& png, int index)
{
    return {png.samples.begin() + 4 * index, png.samples.begin() + 4 * index + 4};
}

class Apply : public CliTest {};

TEST_F(Apply, EveryPictureKindHoldsTheLevelsOfTheRgbaPicture)
{
    WriteTestExr(Path("frame.exr"), ModesFrame());
    ASSERT_EQ(Run({"apply", "--png", "rgba", "frame.exr", "-o", "rgba.png"}).status, 0);
    const Png rgba = ReadPng(Path("rgba.png"));
    ASSERT_EQ(rgba.colourType, 6);
    const struct {
        std::vector<std::string> options;
        int bits;
        int colourType; // 0 grey, 6 RGBA
    } kinds[] = {
        {{}, 16, 0},
        {{"--png", "grey", "--opaque"}, 16, 0},
        {{"--bits", "8"}, 8, 0},
        {{"--png", "rgba", "--bits", "8"}, 8, 6},
        {{"--mode", "object", "--id", "7"}, 16, 6},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(::testing::PrintToString(kind.options));
        std::vector<std::string> arguments = {"apply", "frame.exr", "-o", "out.png"};
        arguments.insert(arguments.end(), kind.options.begin(), kind.options.end());
        const ToolRun run = Run(arguments);
        ASSERT_EQ(run.status, 0) << run.err;
        const Png png = ReadPng(Path("out.png"));
        EXPECT_EQ(png.bitDepth, kind.bits);
        EXPECT_EQ(png.colourType, kind.colourType);
        if (kind.options.size() > 2 && kind.options[0] == "--mode") continue; // another picture
        std::vector<std::uint16_t> expected = rgba.samples;
        // 8 bits: each level rounded to the nearest of 255.
        if (kind.bits == 8)
            for (std::uint16_t& level : expected)
                level = static_cast<std::uint16_t>((level * 255 + 32767) / 65535);
        EXPECT_EQ(png.samples, expected);
    }
}

TEST_F(Apply, WholeMaterialAndObjectModesGiveTheModulesGreyLevels)
{
    WriteTestExr(Path("frame.exr"), ModesFrame());

    ToolRun run = Run({"apply", "frame.exr", "-o", "whole.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    Png png = ReadPng(Path("whole.png"));
    EXPECT_EQ(png.bitDepth, 16);
    EXPECT_EQ(png.colourType, 0); // grey: every pixel of the whole mode is
    EXPECT_EQ(png.width, 4);
    EXPECT_EQ(png.height, 2);
    const std::vector<std::uint16_t> whole = {65535, 32767, 0, 0, 65535, 32767, 0, 49151};
    for (int component = 0; component < 4; ++component) EXPECT_EQ(png.Channel(component), whole) << component;

    run = Run({"apply", "--mode", "material", "--id", "2", "--colour", "linear", "frame.exr", "-o",
               "material.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    png = ReadPng(Path("material.png"));
    EXPECT_EQ(Pixel(png, 0), KEPT);
    EXPECT_EQ(Pixel(png, 1), Grey(32767));
    EXPECT_EQ(Pixel(png, 3), KEPT);
    EXPECT_EQ(Pixel(png, 4), Grey(65535));
    EXPECT_EQ(Pixel(png, 5), Grey(32767));
    EXPECT_EQ(Pixel(png, 7), KEPT);

    // Object IDs need 16 bits: 300 is an ordinary ID there.
    run = Run({"apply", "--mode=object", "--id=7", "--colour=linear", "frame.exr", "-o", "object.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    png = ReadPng(Path("object.png"));
    EXPECT_EQ(Pixel(png, 2), Grey(0));
    EXPECT_EQ(Pixel(png, 4), Grey(65535));
    for (int i : {0, 1, 3, 5, 6, 7}) EXPECT_EQ(Pixel(png, i), KEPT) << i;
}

TEST_F(Apply, SavedRecordReproducesTheSettingsAndLoadsBack)
{
    WriteTestExr(Path("frame.exr"), ModesFrame());
    ToolRun run = Run({"apply", "--mode", "object", "--id", "300", "--save-config", "object300.cfg"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::ifstream file(Path("object300.cfg"), std::ios::binary);
    const std::vector<unsigned char> record{std::istreambuf_iterator<char>(file), {}};
    EXPECT_THAT(record, ElementsAre(0xD7, 0x01, 0x76, 0x5E, 0xF4, 0x03, 0, 0, 0x2C, 0x01, 0, 0, 1, 0, 0, 0));

    run = Run({"apply", "--config", "object300.cfg", "--colour", "linear", "frame.exr", "-o", "out.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Png png = ReadPng(Path("out.png"));
    EXPECT_EQ(Pixel(png, 5), Grey(32767));
    EXPECT_EQ(Pixel(png, 4), KEPT);
}

TEST_F(Apply, ColourIsClampedTo16BitsAndMissingAlphaReadsOpaque)
{
    // ID 8 selects nothing, so the module writes back the colour the tool handed it.
    TestFrame frame = MakeTestFrame(2, 1, {-1, -2}, {0.0, 0.5, 1.0, 0.25, -1.0, 2.0, 0.75, 0.0}, {1, 1});
    WriteTestExr(Path("with-alpha.exr"), frame);
    frame.channels.erase(frame.channels.begin() + 3); // A
    WriteTestExr(Path("without-alpha.exr"), frame);

    ASSERT_EQ(Run({"apply", "--mode", "material", "--id", "8", "--colour", "linear", "with-alpha.exr", "-o",
                   "a.png"})
                  .status,
              0);
    EXPECT_THAT(ReadPng(Path("a.png")).samples, ElementsAre(0, 32768, 65535, 16384, 0, 65535, 49151, 0));
    ASSERT_EQ(Run({"apply", "--mode", "material", "--id", "8", "--colour", "linear", "without-alpha.exr",
                   "-o", "b.png"})
                  .status,
              0);
    EXPECT_THAT(ReadPng(Path("b.png")).samples, ElementsAre(0, 32768, 65535, 65535, 0, 65535, 49151, 65535));
}

TEST_F(Apply, IdChannelsMayBeHalfOrFloatHoldingWholeNumbers)
{
    TestFrame frame = ModesFrame();
    frame.channels[5].type = Imf::HALF;  // materialID
    frame.channels[6].type = Imf::FLOAT; // objectID
    WriteTestExr(Path("frame.exr"), frame);
    ASSERT_EQ(Run({"apply", "--mode", "material", "--id", "2", "frame.exr", "-o", "m.png"}).status, 0);
    EXPECT_EQ(Pixel(ReadPng(Path("m.png")), 4), Grey(65535));
    ASSERT_EQ(Run({"apply", "--mode", "object", "--id", "7", "frame.exr", "-o", "o.png"}).status, 0);
    EXPECT_EQ(Pixel(ReadPng(Path("o.png")), 2), Grey(0));
}

TEST_F(Apply, TiledInputGivesTheSameLevelsAsScanline)
{
    TestFrame frame = ModesFrame();
    frame.tiled = true;
    WriteTestExr(Path("tiled.exr"), frame);
    ToolRun run = Run({"apply", "tiled.exr", "-o", "tiled.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(ReadPng(Path("tiled.png")).Channel(0),
                ElementsAre(65535, 32767, 0, 0, 65535, 32767, 0, 49151));
}

TEST_F(Apply, ExrOutputHasTheFiltersRgbaAndKeepsTheOtherChannelsAndWindows)
{
    TestFrame frame = ModesFrame();
    frame.minX = 3;
    frame.minY = -1;
    frame.displayWidth = 10;
    frame.displayHeight = 4;
    frame.channels.push_back({"N.x", Imf::HALF, {0.5, 1, 2, 3, 4, 5, 6, 7}});
    WriteTestExr(Path("frame.exr"), frame);
    ToolRun run = Run({"apply", "frame.exr", "-o", "grey.exr"});
    ASSERT_EQ(run.status, 0) << run.err;

    Imf::InputFile file(Path("grey.exr").c_str());
    const Imf::Header& header = file.header();
    EXPECT_EQ(header.dataWindow(), Imath::Box2i({3, -1}, {6, 0}));
    EXPECT_EQ(header.displayWindow(), Imath::Box2i({0, 0}, {9, 3}));
    std::vector<std::string> names;
    for (auto it = header.channels().begin(); it != header.channels().end(); ++it) names.push_back(it.name());
    EXPECT_THAT(names, ElementsAre("A", "B", "G", "N.x", "R", "Z", "materialID", "objectID"));
    EXPECT_EQ(header.channels().findChannel("R")->type, Imf::HALF);
    EXPECT_EQ(header.channels().findChannel("Z")->type, Imf::FLOAT);
    EXPECT_EQ(header.channels().findChannel("objectID")->type, Imf::UINT);

    std::vector<half> red(8), alpha(8), normal(8);
    std::vector<float> depth(8);
    std::vector<std::uint32_t> objects(8);
    Imf::FrameBuffer buffer;
    const Imath::Box2i window = header.dataWindow();
    buffer.insert("R", Imf::Slice::Make(Imf::HALF, red.data(), window));
    buffer.insert("A", Imf::Slice::Make(Imf::HALF, alpha.data(), window));
    buffer.insert("N.x", Imf::Slice::Make(Imf::HALF, normal.data(), window));
    buffer.insert("Z", Imf::Slice::Make(Imf::FLOAT, depth.data(), window));
    buffer.insert("objectID", Imf::Slice::Make(Imf::UINT, objects.data(), window));
    file.setFrameBuffer(buffer);
    file.readPixels(window.min.y, window.max.y);
    const std::vector<std::uint16_t> levels = {65535, 32767, 0, 0, 65535, 32767, 0, 49151};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(static_cast<float>(red[i]), static_cast<float>(half(levels[i] / 65535.0f))) << i;
        EXPECT_EQ(static_cast<float>(alpha[i]), static_cast<float>(red[i])) << i;
    }
    EXPECT_THAT(depth, ElementsAre(-10, -20, -30, -1e30f, -10, -20, -30, -15));
    EXPECT_THAT(objects, ElementsAre(5, 5, 7, 0, 7, 300, 5, 5));
    EXPECT_EQ(static_cast<float>(normal[0]), 0.5f);
}

TEST_F(Apply, MissingIdChannelLeavesTheFrameUnchangedWithAWarning)
{
    WriteTestExr(Path("frame.exr"), MakeTestFrame(2, 1, {-1, -2}));
    const ToolRun run =
        Run({"apply", "--mode", "object", "--id", "3", "--colour", "linear", "frame.exr", "-o", "out.png"});
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(
        run.err,
        HasSubstr(
            "warning: frame.exr: no object ID channel objectID: the filter leaves the frame unchanged"));
    EXPECT_THAT(ReadPng(Path("out.png")).samples, ElementsAreArray([] {
                    std::vector<std::uint16_t> both = KEPT;
                    both.insert(both.end(), KEPT.begin(), KEPT.end());
                    return both;
                }()));
}

TEST_F(Apply, SequenceGoesOnPastAFailingFrameAndSaysSoInItsSummaryAndStatus)
{
    WriteTestExr(Path("f1.exr"), MakeTestFrame(2, 1, {-1, -2}));
    std::ofstream(Path("f2.exr")) << "not an image";
    WriteTestExr(Path("f3.exr"), MakeTestFrame(2, 1, {-4, -2}));
    const ToolRun run = Run({"apply", "f1.exr", "f2.exr", "f3.exr", "-o", "grey"});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.out, HasSubstr("[1/3] f1.exr -> grey/f1.png"));
    EXPECT_THAT(run.out, HasSubstr("[3/3] f3.exr -> grey/f3.png"));
    EXPECT_THAT(run.out, HasSubstr("3 frames: 2 written, 1 failed"));
    EXPECT_THAT(run.err, HasSubstr("error: f2.exr: not an EXR file"));
    EXPECT_THAT(FolderNames(Path("grey")), ElementsAre("f1.png", "f3.png"));
    // Each frame has its own grey scale.
    EXPECT_THAT(ReadPng(Path("grey/f1.png")).Channel(0), ElementsAre(65535, 0));
    EXPECT_THAT(ReadPng(Path("grey/f3.png")).Channel(0), ElementsAre(0, 65535));

    const ToolRun good = Run({"apply", "--format", "exr", "f1.exr", "f3.exr", "-o", "grey"});
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_THAT(good.out, HasSubstr("2 frames: 2 written, 0 failed"));
    EXPECT_THAT(FolderNames(Path("grey")), ElementsAre("f1.exr", "f1.png", "f3.exr", "f3.png"));
}

TEST_F(Apply, DefaultOutputIsBesideTheInput)
{
    std::filesystem::create_directories(Path("shot"));
    WriteTestExr(Path("shot/frame.exr"), MakeTestFrame(2, 1, {-1, -2}));
    ASSERT_EQ(Run({"apply", "shot/frame.exr"}).status, 0);
    EXPECT_THAT(FolderNames(Path("shot")), ElementsAre("frame.exr", "frame.png"));
}

TEST_F(Apply, SampleAndDemoMakeTheBundledSceneAndItsPictures)
{
    ToolRun run = Run({"sample", "--width", "64", "--height", "36", "small.exr"});
    ASSERT_EQ(run.status, 0) << run.err;
    run = Run({"info", "small.exr"});
    EXPECT_THAT(run.out, HasSubstr("64 x 36"));
    EXPECT_THAT(run.out, HasSubstr("materialID:    0 ("));

    run = Run({"demo", "pictures"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("The pictures are in "));
    EXPECT_THAT(FolderNames(Path("pictures")),
                ElementsAre("material-2.png", "object-3.png", "sample.exr", "whole.png"));
    const Png whole = ReadPng(Path("pictures/whole.png"));
    EXPECT_EQ(whole.width, 640);
    EXPECT_EQ(whole.height, 360);
    // One grey channel. Top left is empty background: black; the bottom row is the nearest floor: white.
    EXPECT_EQ(whole.colourType, 0);
    EXPECT_EQ(Pixel(whole, 0)[0], 0);
    EXPECT_GT(Pixel(whole, 640 * 359 + 320)[0], 60000);
    // The ID modes keep other pixels' colour, in RGBA with opaque alpha.
    const Png box = ReadPng(Path("pictures/object-3.png"));
    EXPECT_EQ(box.colourType, 6);
    EXPECT_EQ(Pixel(box, 0)[3], 65535);
}

} // namespace
