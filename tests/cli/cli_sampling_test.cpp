// Frames whose channels are stored at other than one sample a pixel, as lawful EXR allows:
// subsampled colour, luminance-chroma colour, and subsampled channels the filter reads. Each is
// checked against the same frame stored plainly at full resolution, in every mode and output kind.
#include <ImfRgbaFile.h>
#include <half.h>

#include <gmock/gmock.h>

#include "exr_layouts.h"

using ::testing::HasSubstr;

namespace {

constexpr int SIDE = 4;

// A SIDE x SIDE frame: depth rising across it, object IDs 1 and 2 in alternate rows, and R, G, B in
// blocks of 2 x 2 pixels of one value each, stored at `sampling`. `stored` sets one other channel's
// sampling (depth, alpha or the IDs).
TestPart Frame(int sampling, const std::string& subsampled = "")
{
    TestPart part;
    part.frame.width = part.frame.height = SIDE;
    const char* names[] = {"B", "G", "R"};
    for (int c = 0; c < 3; ++c) {
        TestChannel& channel =
            part.frame.channels.emplace_back(TestChannel{names[c], Imf::HALF, {}, sampling});
        for (int y = 0; y < SIDE; y += sampling)
            for (int x = 0; x < SIDE; x += sampling)
                channel.values.push_back(0.125 * (c + 1) + 0.01 * (x - x % 2 + y - y % 2));
    }
    const int other = subsampled.empty() ? 1 : 2;
    const std::size_t count = static_cast<std::size_t>(SIDE * SIDE / (other * other));
    std::vector<double> depth, objects, alpha(SIDE * SIDE, 1.0);
    for (int i = 0; i < SIDE * SIDE; ++i) {
        depth.push_back(1 + i);
        objects.push_back(1 + (i / SIDE) % 2);
    }
    for (auto [name, type, values] : {std::tuple{"A", Imf::HALF, alpha}, std::tuple{"Z", Imf::FLOAT, depth},
                                      std::tuple{"objectID", Imf::UINT, objects}}) {
        const bool sub = subsampled == name;
        if (sub) values.resize(count);
        part.frame.channels.push_back({name, type, values, sub ? 2 : 1});
    }
    return part;
}

// The frame with its colour as luminance and chroma (chroma at 2 x 2), as OpenEXR's RGBA interface
// writes it, into `path`; and into `plain` the frame with that colour as OpenEXR converts it back,
// stored as R, G, B.
void WriteLumaChroma(const std::filesystem::path& path, const std::filesystem::path& plain)
{
    const Imath::Box2i window({0, 0}, {SIDE - 1, SIDE - 1});
    std::vector<Imf::Rgba> pixels(SIDE * SIDE);
    for (int i = 0; i < SIDE * SIDE; ++i)
        pixels[i] = Imf::Rgba(0.2f + 0.05f * (i % 5), 0.5f, 0.1f * (i % 3), 1.0f);
    {
        Imf::RgbaOutputFile file(path.c_str(), Imf::Header(window, window), Imf::WRITE_YCA);
        file.setFrameBuffer(pixels.data(), 1, SIDE);
        file.writePixels(SIDE);
    }
    Imf::RgbaInputFile file(path.c_str());
    file.setFrameBuffer(pixels.data(), 1, SIDE);
    file.readPixels(0, SIDE - 1);
    TestPart converted = Frame(1);
    for (int i = 0; i < SIDE * SIDE; ++i) {
        converted.frame.channels[0].values[i] = pixels[i].b;
        converted.frame.channels[1].values[i] = pixels[i].g;
        converted.frame.channels[2].values[i] = pixels[i].r;
    }
    WriteTestParts(plain, {converted});
    // The luminance-chroma channels as stored, beside the frame's depth and IDs.
    const RawPart stored = ReadRawParts(path).at(0);
    TestPart yc = Frame(1);
    yc.frame.channels.erase(yc.frame.channels.begin(), yc.frame.channels.begin() + 4);
    for (const char* name : {"A", "BY", "RY", "Y"}) {
        TestChannel& channel = yc.frame.channels.emplace_back(
            TestChannel{name, Imf::HALF, {}, std::string(name).size() == 2 ? 2 : 1});
        for (std::uint32_t bits : stored.channels.at(name).samples) {
            half value;
            value.setBits(static_cast<std::uint16_t>(bits));
            channel.values.push_back(value);
        }
    }
    WriteTestParts(path, {yc});
}

class Sampling : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        WriteTestParts(Path("full.exr"), {Frame(1)});
        WriteTestParts(Path("sub.exr"), {Frame(2)});
        for (const char* channel : {"Z", "A", "objectID"})
            WriteTestParts(Path(std::string("sub-") + channel + ".exr"), {Frame(1, channel)});
    }

    // `apply MODE... INPUT -o OUTPUT`; the run must succeed.
    void Apply(const std::vector<std::string>& mode, const std::string& input, const std::string& output)
    {
        std::vector<std::string> arguments = {"apply"};
        arguments.insert(arguments.end(), mode.begin(), mode.end());
        arguments.insert(arguments.end(), {input, "-o", output});
        const ToolRun run = Run(arguments);
        ASSERT_EQ(run.status, 0) << input << " " << output << ": " << run.err;
    }
};

const std::vector<std::vector<std::string>> MODES = {
    {}, {"--mode", "object", "--id", "2"}, {"--mode", "object", "--id", "2", "--png", "rgba", "--bits", "8"}};

} // namespace

// Every PNG kind of a subsampled or luminance-chroma frame is the picture of the same frame stored
// plainly: each subsampled sample covers its block, and luminance-chroma colour reads as OpenEXR
// converts it.
TEST_F(Sampling, PicturesAreThoseOfTheFrameStoredPlainly)
{
    WriteLumaChroma(Path("yc-colour.exr"), Path("yc-plain.exr"));
    const struct {
        std::string input, plain;
    } cases[] = {{"sub.exr", "full.exr"}, {"yc-colour.exr", "yc-plain.exr"}};
    for (const auto& test : cases) {
        for (const std::vector<std::string>& mode : MODES) {
            Apply(mode, test.plain, "plain.png");
            Apply(mode, test.input, "stored.png");
            const Png plain = ReadPng(Path("plain.png"));
            EXPECT_EQ(ReadPng(Path("stored.png")).samples, plain.samples) << test.input << " " << mode.size();
        }
    }
}

// The subsampled channel's sample at (x, y) holds what the full-resolution frame's output holds at
// that pixel, in every mode: the filtered grey where the filter rewrote it, the stored colour where
// it kept it.
TEST_F(Sampling, ExrOutputStoresSubsampledColourAtItsOwnSampling)
{
    for (const std::vector<std::string>& mode : {MODES[0], MODES[1]}) {
        Apply(mode, "full.exr", "full-out.exr");
        Apply(mode, "sub.exr", "sub-out.exr");
        const RawPart full = ReadRawParts(Path("full-out.exr")).at(0);
        const RawPart sub = ReadRawParts(Path("sub-out.exr")).at(0);
        for (const char* name : {"R", "G", "B"}) {
            const std::vector<std::uint32_t>& samples = sub.channels.at(name).samples;
            ASSERT_EQ(samples.size(), 4u) << name;
            for (int y = 0; y < SIDE; y += 2)
                for (int x = 0; x < SIDE; x += 2)
                    EXPECT_EQ(samples[y / 2 * 2 + x / 2], full.channels.at(name).samples[y * SIDE + x])
                        << name << " at " << x << "," << y << " " << mode.size();
        }
        EXPECT_EQ(sub.channels.at("A").samples, full.channels.at("A").samples);
    }
}

// A luminance-chroma EXR output keeps its channels: a rewritten pixel is its grey as luminance,
// with no chroma.
TEST_F(Sampling, LuminanceChromaOutputKeepsItsChannels)
{
    TestPart frame = Frame(1);
    frame.frame.channels[0] = {"BY", Imf::HALF, {0.1, -0.1, 0.2, 0}, 2};
    frame.frame.channels[1] = {"RY", Imf::HALF, {0.3, 0.1, -0.2, 0}, 2};
    frame.frame.channels[2] = {"Y", Imf::HALF, std::vector<double>(SIDE * SIDE, 0.5)};
    WriteTestParts(Path("yc.exr"), {frame});
    Apply({}, "full.exr", "full-out.exr");
    Apply({}, "yc.exr", "yc-out.exr");
    const RawPart out = ReadRawParts(Path("yc-out.exr")).at(0);
    EXPECT_EQ(out.channels.count("R"), 0u);
    EXPECT_EQ(out.channels.at("Y").samples,
              ReadRawParts(Path("full-out.exr")).at(0).channels.at("R").samples);
    for (const char* chroma : {"RY", "BY"})
        EXPECT_THAT(out.channels.at(chroma).samples, ::testing::Each(0u)) << chroma;
}

// A channel the filter reads at every pixel is refused by name with its sampling, and nothing is
// written; info still describes the frame and says why.
TEST_F(Sampling, ChannelsTheFilterReadsMustBeWhole)
{
    const struct {
        std::string input;
        std::vector<std::string> mode;
        std::string refusal; // empty: the run succeeds
    } cases[] = {
        {"sub-Z.exr", {}, "channel Z is subsampled (2 x 2): the filter needs its depth at every pixel"},
        {"sub-objectID.exr",
         {"--mode", "object"},
         "channel objectID is subsampled (2 x 2): the filter needs its IDs"},
        {"sub-objectID.exr", {}, ""},
        {"sub-A.exr",
         {},
         "channel A is subsampled (2 x 2): --background auto needs its alpha at every pixel"},
        {"sub-A.exr", {"--background", "none"}, ""},
    };
    for (const auto& test : cases) {
        for (const char* output : {"out.png", "out.exr"}) {
            std::vector<std::string> arguments = {"apply"};
            arguments.insert(arguments.end(), test.mode.begin(), test.mode.end());
            arguments.insert(arguments.end(), {test.input, "-o", output});
            const ToolRun run = Run(arguments);
            EXPECT_EQ(run.status, test.refusal.empty() ? 0 : 1) << test.input << " " << output << run.err;
            EXPECT_THAT(run.err, HasSubstr(test.refusal)) << test.input;
            EXPECT_EQ(std::filesystem::exists(Path(output)), test.refusal.empty())
                << test.input << " " << output;
            std::filesystem::remove(Path(output));
        }
    }
    const ToolRun info = Run({"info", "sub-Z.exr"});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_THAT(info.out, HasSubstr("Z (FLOAT, 2 x 2)"));
    EXPECT_THAT(info.out, HasSubstr("filter:        cannot take this view: channel Z is subsampled (2 x 2)"));
    const ToolRun line = Run({"info", "sub-Z.exr", "sub.exr"});
    EXPECT_THAT(line.out, HasSubstr("sub-Z.exr  4x4  cannot filter: channel Z is subsampled"));
    EXPECT_THAT(line.out, HasSubstr("sub.exr  4x4  depth 1 to 16"));
}
