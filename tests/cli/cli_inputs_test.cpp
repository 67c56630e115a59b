// Inputs stored in ways that change what is read: lossy compression, whose decoded samples an EXR
// output must keep exactly, and mip- or rip-mapped tiles, of which only the full level counts.
#include <ImfHeader.h>
#include <ImfMultiPartInputFile.h>

#include <gmock/gmock.h>

#include <algorithm>

#include "exr_layouts.h"

using ::testing::HasSubstr;

namespace fs = std::filesystem;

namespace {

constexpr int WIDTH = 16; // whole blocks of every lossy compression (4 x 4, 8 x 8) and some more
constexpr int HEIGHT = 9;
constexpr int SELECTED = 6; // the object ID the runs select

// A frame whose colour varies from pixel to pixel, as lossy compression does not keep, and whose
// object IDs select every third pixel.
TestFrame NoisyFrame(int width, int height)
{
    std::vector<double> depth, colour, objects;
    for (int i = 0; i < width * height; ++i) {
        depth.push_back(-1.0 - (i * 7 % 13));
        for (int c = 0; c < 4; ++c) colour.push_back(((i * 37 + c * 11) % 101) / 100.0);
        objects.push_back(5 + i % 3);
    }
    return MakeTestFrame(width, height, depth, colour, {}, objects);
}

std::vector<std::string> Apply(const std::string& input, const std::string& output)
{
    return {"apply", "--mode", "object", "--id", std::to_string(SELECTED), input, "-o", output};
}

Imf::Header FirstHeader(const fs::path& path) { return Imf::MultiPartInputFile(path.c_str()).header(0); }

using Inputs = CliTest;

// Written back as ZIP: a sample the filter did not rewrite is what OpenEXR decodes from the input,
// bit for bit; the filter's colour stands in all four at the selected pixels.
TEST_F(Inputs, LossyInputIsWrittenAsZipKeepingTheDecodedSamples)
{
    const TestFrame frame = NoisyFrame(WIDTH, HEIGHT);
    const std::vector<double>& objects = frame.channels.back().values;
    const std::string note =
        "the input's lossy compression is written as ZIP, so that unchanged pixels stay exact";
    WriteTestExr(Path("exact.exr"), frame);
    const RawPart exact = ReadRawParts(Path("exact.exr")).at(0);
    for (const Imf::Compression compression : {Imf::B44_COMPRESSION, Imf::DWAA_COMPRESSION}) {
        const std::string name = compression == Imf::B44_COMPRESSION ? "b44.exr" : "dwaa.exr";
        SCOPED_TRACE(name);
        TestFrame lossy = frame;
        lossy.compression = compression;
        WriteTestExr(Path(name), lossy);
        const RawPart input = ReadRawParts(Path(name)).at(0);
        // The compression lost something, or the output could not tell decoded from written samples.
        ASSERT_NE(input.channels.at("R").samples, exact.channels.at("R").samples);

        const ToolRun run = Run(Apply(name, "out.exr"));
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_THAT(run.err, HasSubstr("warning: " + name + ": " + note));
        EXPECT_EQ(FirstHeader(Path("out.exr")).compression(), Imf::ZIP_COMPRESSION);
        const RawPart output = ReadRawParts(Path("out.exr")).at(0);
        ASSERT_EQ(output.channels.size(), input.channels.size());
        std::size_t rewritten = 0;
        for (const auto& [channel, stored] : input.channels) {
            const RawChannel& written = output.channels.at(channel);
            ASSERT_EQ(written.type, stored.type) << channel;
            const bool colour = channel.size() == 1 && std::string("RGBA").find(channel) != std::string::npos;
            for (std::size_t i = 0; i < stored.samples.size(); ++i) {
                if (colour && objects[i] == SELECTED) {
                    ++rewritten;
                    EXPECT_EQ(written.samples[i], output.channels.at("R").samples[i]) << channel << " " << i;
                } else {
                    EXPECT_EQ(written.samples[i], stored.samples[i]) << channel << " " << i;
                }
            }
        }
        EXPECT_EQ(rewritten, 4 * std::count(objects.begin(), objects.end(), SELECTED));
    }
}

// The same frame stored flat and in tiles with lower levels (which hold other samples): the same
// picture, the same EXR but tiled at one level, the same info, and a note that only the full level
// is read.
TEST_F(Inputs, MipMappedInputIsReadAtItsFullLevelOnly)
{
    // Odd sides, so that the levels round and the 2 x 2 tiles do not fit; away from the origin.
    TestFrame flat = NoisyFrame(7, 5);
    flat.minX = 3;
    flat.minY = -2;
    WriteTestExr(Path("flat.exr"), flat);
    const ToolRun flatInfo = Run({"info", "flat.exr"});
    ASSERT_EQ(flatInfo.status, 0) << flatInfo.err;
    ASSERT_EQ(Run(Apply("flat.exr", "flat.png")).status, 0);
    ASSERT_EQ(Run(Apply("flat.exr", "flat.out.exr")).status, 0);
    const RawPart flatOut = ReadRawParts(Path("flat.out.exr")).at(0);

    for (const Imf::LevelMode levels : {Imf::MIPMAP_LEVELS, Imf::RIPMAP_LEVELS}) {
        const std::string stem = levels == Imf::MIPMAP_LEVELS ? "mip" : "rip";
        const std::string name = stem + ".exr";
        SCOPED_TRACE(name);
        TestFrame tiled = flat;
        tiled.tiled = true;
        tiled.levels = levels;
        WriteTestExr(Path(name), tiled);
        const std::string note = name + ": part 0 is mip-mapped; only its full-resolution level is read";

        ToolRun run = Run(Apply(name, stem + ".png"));
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_THAT(run.err, HasSubstr("warning: " + note));
        EXPECT_EQ(ReadPng(Path(stem + ".png")).samples, ReadPng(Path("flat.png")).samples);

        run = Run(Apply(name, "out.exr"));
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_THAT(run.err, HasSubstr("warning: " + note));
        const Imf::Header header = FirstHeader(Path("out.exr"));
        ASSERT_TRUE(header.hasTileDescription());
        EXPECT_EQ(header.tileDescription().mode, Imf::ONE_LEVEL);
        EXPECT_EQ(header.tileDescription().xSize, 2u);
        EXPECT_EQ(header.tileDescription().ySize, 2u);
        const RawPart out = ReadRawParts(Path("out.exr")).at(0);
        EXPECT_EQ(out.dataWindow, flatOut.dataWindow);
        EXPECT_EQ(out.channels.size(), flatOut.channels.size());
        for (const auto& [channel, samples] : flatOut.channels)
            EXPECT_EQ(out.channels.at(channel).samples, samples.samples) << channel;

        run = Run({"info", name});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_THAT(run.err, HasSubstr("note: " + note));
        std::string expected = flatInfo.out;
        expected.replace(expected.find("flat.exr"), 8, name);
        expected.replace(expected.find("scanline"), 8, "tiled");
        EXPECT_EQ(run.out, expected);
    }
}

} // namespace
