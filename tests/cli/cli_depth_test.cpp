// Depth pictures that say what their greys stand for: every kind of output carries its mapping,
// read by exiftool, a reader of its own; `depth` makes each level back into a depth within one
// level's step at every pixel that takes part; pictures whose mapping is missing or damaged are
// refused with nothing written.
#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <png.h>

#include <gmock/gmock.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "cli_support.h"

using ::testing::HasSubstr;

namespace {

// One channel of an EXR file's data window as floats.
std::vector<float> ReadChannel(const std::filesystem::path& path, const std::string& name)
{
    Imf::InputFile file(path.c_str());
    const Imath::Box2i window = file.header().dataWindow();
    const std::size_t width = static_cast<std::size_t>(window.max.x - window.min.x + 1);
    std::vector<float> samples(width * static_cast<std::size_t>(window.max.y - window.min.y + 1));
    Imf::FrameBuffer buffer;
    buffer.insert(name, Imf::Slice::Make(Imf::FLOAT, samples.data(), window));
    file.setFrameBuffer(buffer);
    file.readPixels(window.min.y, window.max.y);
    return samples;
}

// exiftool's tags of a file, names lower-cased (it spells PNG keywords and EXR attributes apart).
nlohmann::json Exiftool(const std::filesystem::path& path)
{
    const std::string command = "exiftool -j '" + path.string() + "' 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string text;
    char buffer[4096];
    for (std::size_t n; pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, n);
    const int status = pipe != nullptr ? pclose(pipe) : -1;
    if (status != 0) {
        ADD_FAILURE() << "exiftool (Debian libimage-exiftool-perl, installed by scripts/setup.sh) failed: "
                      << text;
        return {};
    }
    nlohmann::json lowered;
    const nlohmann::json tags = nlohmann::json::parse(text).at(0);
    for (auto tag = tags.begin(); tag != tags.end(); ++tag) {
        std::string name = tag.key();
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        lowered[name] = tag.value();
    }
    return lowered;
}

// A grey PNG of `levels` with the text chunks `text`.
void WriteGreyPng(const std::filesystem::path& path, int width, const std::vector<std::uint16_t>& levels,
                  int bits, const std::map<std::string, std::string>& text)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    const int height = static_cast<int>(levels.size()) / width;
    png_set_IHDR(png, info, width, height, bits, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_text> chunks;
    for (const auto& [key, value] : text)
        chunks.push_back({PNG_TEXT_COMPRESSION_NONE, const_cast<char*>(key.c_str()),
                          const_cast<char*>(value.c_str()), value.size(), 0, nullptr, nullptr});
    if (!chunks.empty()) png_set_text(png, info, chunks.data(), static_cast<int>(chunks.size()));
    png_write_info(png, info);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * 2);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint16_t level = levels[static_cast<std::size_t>(y * width + x)];
            if (bits == 8)
                row[static_cast<std::size_t>(x)] = static_cast<unsigned char>(level);
            else
                row[2 * x] = static_cast<unsigned char>(level >> 8), row[2 * x + 1] = level & 0xFF;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

// The mapping apply writes for a 16-bit grey picture on the scale 2:10.
std::map<std::string, std::string> GoodMapping()
{
    return {{"deepglass:near", "2"},
            {"deepglass:far", "10"},
            {"deepglass:curve", "linear"},
            {"deepglass:bits", "16"},
            {"deepglass:grey", "grey"},
            {"deepglass:white", "near"},
            {"deepglass:level-zero", "far or nothing rendered"},
            {"deepglass:depth", "Z"},
            {"deepglass:background", "auto"},
            {"deepglass:pixels", "every pixel"},
            {"deepglass:tool", "1.0"},
            {"deepglass:module", "Deepglass"}};
}

class DepthMapping : public CliTest {
protected:
    // The scale the report says `apply` filtered the frame with.
    std::pair<float, float> ReportedScale(const std::string& report)
    {
        std::ifstream file(Path(report));
        const nlohmann::json range = nlohmann::json::parse(file).at("frames").at(0).at("depth_range");
        return {range.at("nearest").get<float>(), range.at("farthest").get<float>()};
    }

    // The report's number as it stands in the file: the shortest text of its float.
    std::string ReportedNumber(const std::string& report, const std::string& end)
    {
        std::ifstream file(Path(report));
        return nlohmann::json::parse(file).at("frames").at(0).at("depth_range").at(end).dump();
    }

    // Every pixel of `input` that takes part (after the automatic background rule), read back from
    // `readBack`, lies within one level's step of its depth clamped into the scale.
    void ExpectWithinOneStep(const std::string& input, const std::string& depthChannel,
                             const std::string& alphaChannel, const std::string& readBack, float near,
                             float far, int bits, bool inverse = false)
    {
        const std::vector<float> depth = ReadChannel(Path(input), depthChannel);
        const std::vector<float> alpha = ReadChannel(Path(input), alphaChannel);
        const std::vector<float> back = ReadChannel(Path(readBack), "Z");
        ASSERT_EQ(back.size(), depth.size());
        const double step = (static_cast<double>(far) - near) / ((1 << bits) - 1);
        const double inverseStep = (1.0 / near - 1.0 / far) / ((1 << bits) - 1);
        std::size_t taking = 0;
        for (std::size_t i = 0; i < depth.size(); ++i) {
            const float magnitude = std::fabs(depth[i]);
            if (magnitude >= 1e10f || (depth[i] == 0.0f && alpha[i] == 0.0f)) continue;
            ++taking;
            const double expected = std::clamp<double>(magnitude, near, far);
            // An inverse picture's step is one in 1/depth. The filter is handed 1/depth in single
            // precision, which may move a level by a few thousandths of a step.
            if (inverse)
                ASSERT_LE(std::fabs(1.0 / back[i] - 1.0 / expected), inverseStep * 1.005)
                    << input << " pixel " << i << ": depth " << magnitude << " read back as " << back[i];
            else
                ASSERT_LE(std::fabs(back[i] - expected), step * 1.0001 + 1e-6)
                    << input << " pixel " << i << ": depth " << magnitude << " read back as " << back[i];
        }
        EXPECT_GT(taking, depth.size() / 2) << input;
    }
};

// Each kind of output carries its mapping, and exiftool reads the same keys and values from it.
TEST_F(DepthMapping, EveryOutputKindCarriesItsMappingAsExiftoolReadsIt)
{
    ASSERT_EQ(Run({"sample", "s.exr"}).status, 0);
    struct Case {
        std::vector<std::string> options;
        std::string output, grey, pixels;
        int bits;
    };
    const std::vector<Case> cases = {
        {{}, "grey.png", "grey", "every pixel", 16},
        {{"--bits", "8"}, "grey8.png", "grey", "every pixel", 8},
        {{"--mode", "object", "--id", "3"}, "rgba.png", "R,G,B,A", "object ID 3", 16},
        {{"--png", "rgba", "--opaque"}, "opaque.png", "R,G,B", "every pixel", 16},
        {{}, "out.exr", "R,G,B,A = level / 65535", "every pixel", 16},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = {"apply",  "s.exr",    "-o",
                                              c.output, "--report", c.output + ".json"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const ToolRun run = Run(arguments);
        ASSERT_EQ(run.status, 0) << run.err;
        const auto [near, far] = ReportedScale(c.output + ".json");
        const nlohmann::json tags = Exiftool(Path(c.output));
        SCOPED_TRACE(c.output + ": " + tags.dump());
        EXPECT_EQ(tags.value("deepglassnear", 0.0f), near);
        EXPECT_EQ(tags.value("deepglassfar", 0.0f), far);
        EXPECT_EQ(tags.value("deepglassbits", 0), c.bits);
        const std::map<std::string, std::string> texts = {
            {"deepglasscurve", "linear"},  {"deepglassgrey", c.grey},
            {"deepglasswhite", "near"},    {"deepglasslevel-zero", "far or nothing rendered"},
            {"deepglassdepth", "Z"},       {"deepglassbackground", "auto"},
            {"deepglasspixels", c.pixels}, {"deepglasstool", "1.0"}};
        // exiftool gives a text that reads as a number ("1.0") as that number.
        for (const auto& [key, value] : texts)
            EXPECT_EQ(tags.contains(key) && tags[key].is_string() ? tags[key].get<std::string>()
                                                                  : tags.value(key, nlohmann::json()).dump(),
                      value)
                << key;
        EXPECT_THAT(tags.value("deepglassmodule", std::string()), HasSubstr("library version"));
    }
}

// A picture made back into depth: within one level's step at every pixel that takes part, on the
// renderer's frame and on the sample, at 16 and 8 bits, on each frame's own scale and on one given.
TEST_F(DepthMapping, ReadBackLiesWithinOneStepOfEveryDepthThatTakesPart)
{
    ASSERT_EQ(Run({"sample", "s.exr"}).status, 0);
    std::filesystem::copy_file(std::string(DEEPGLASS_FIXTURES) + "/cycles-dolly.0001.exr", Path("dolly.exr"));
    struct Case {
        std::string input, depth, alpha;
        std::vector<std::string> options;
        int bits;
    };
    const std::vector<Case> cases = {
        {"dolly.exr", "ViewLayer.Depth.Z", "ViewLayer.Combined.A", {}, 16},
        {"dolly.exr", "ViewLayer.Depth.Z", "ViewLayer.Combined.A", {"--bits", "8"}, 8},
        {"dolly.exr", "ViewLayer.Depth.Z", "ViewLayer.Combined.A", {"--range", "3:10"}, 16},
        {"s.exr", "Z", "A", {}, 16},
        {"s.exr", "Z", "A", {"--bits", "8", "--range", "1.5:30"}, 8},
        {"dolly.exr", "ViewLayer.Depth.Z", "ViewLayer.Combined.A", {"--curve", "inverse"}, 16},
        {"dolly.exr", "ViewLayer.Depth.Z", "ViewLayer.Combined.A", {"--curve", "inverse", "--bits", "8"}, 8},
        {"s.exr", "Z", "A", {"--curve", "inverse", "--range", "3:12"}, 16},
        {"s.exr", "Z", "A", {"--curve", "inverse", "--bits", "8", "--range", "shot"}, 8},
        {"s.exr", "Z", "A", {"--curve", "inverse", "--clip", "2:98"}, 16},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string name = "case" + std::to_string(index++);
        std::vector<std::string> arguments = {"apply",       c.input,    "-o",
                                              name + ".png", "--report", name + ".json"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        ASSERT_EQ(Run(arguments).status, 0);
        const ToolRun back = Run({"depth", name + ".png", "-o", name + ".exr"});
        ASSERT_EQ(back.status, 0) << back.err;
        const auto [near, far] = ReportedScale(name + ".json");
        const bool inverse = std::find(c.options.begin(), c.options.end(), "inverse") != c.options.end();
        ExpectWithinOneStep(c.input, c.depth, c.alpha, name + ".exr", near, far, c.bits, inverse);
    }
}

// A shot on one scale, read back frame by frame through frame patterns; each picture names its frame.
TEST_F(DepthMapping, ShotOnOneScaleReadsBackFrameByFrame)
{
    for (int frame = 1; frame <= 3; ++frame)
        ASSERT_EQ(Run({"sample", "--width", std::to_string(200 + 40 * frame), "--height", "120",
                       "s." + std::to_string(frame) + ".exr"})
                      .status,
                  0);
    ASSERT_EQ(Run({"apply", "--range", "shot", "--frames", "1-3", "s.%d.exr", "-o", "g.%d.png", "--report",
                   "shot.json"})
                  .status,
              0);
    const ToolRun back = Run({"depth", "--frames", "1-3", "g.%d.png", "-o", "back/d.%d.exr"});
    ASSERT_EQ(back.status, 0) << back.err;
    const auto [near, far] = ReportedScale("shot.json");
    for (int frame = 1; frame <= 3; ++frame) {
        const std::string number = std::to_string(frame);
        ExpectWithinOneStep("s." + number + ".exr", "Z", "A", "back/d." + number + ".exr", near, far, 16);
        const ToolRun info = Run({"info", "g." + number + ".png"});
        EXPECT_THAT(info.out, HasSubstr("deepglass:frame = " + number));
        EXPECT_THAT(info.out, HasSubstr("deepglass:near = " + ReportedNumber("shot.json", "nearest")));
    }
}

// Level 0 is the far end unless --level-zero empty makes it nothing rendered; the command line's
// scale and curve read a picture that has no mapping.
TEST_F(DepthMapping, LevelZeroAndAScaleGivenOnTheCommandLine)
{
    WriteGreyPng(Path("bare.png"), 3, {0, 65535, 32768}, 16, {});
    ASSERT_EQ(Run({"depth", "--range", "2:10", "--curve", "linear", "bare.png", "-o", "far.exr"}).status, 0);
    const std::vector<float> far = ReadChannel(Path("far.exr"), "Z");
    EXPECT_FLOAT_EQ(far[0], 10.0f);
    EXPECT_FLOAT_EQ(far[1], 2.0f);
    EXPECT_NEAR(far[2], 10.0 - 32768.0 / 65535.0 * 8.0, 1e-5);
    ASSERT_EQ(Run({"depth", "--range", "2:10", "--curve", "linear", "--level-zero", "empty", "bare.png", "-o",
                   "empty.exr"})
                  .status,
              0);
    EXPECT_EQ(ReadChannel(Path("empty.exr"), "Z")[0], -1e30f);
}

// A picture without a mapping, with a damaged or contradicting one, or missing, is refused by name,
// and nothing is written.
TEST_F(DepthMapping, PicturesWithoutATrueMappingAreRefusedWithNothingWritten)
{
    struct Case {
        std::string name;
        std::map<std::string, std::string> text;
        int bits;
        std::string error;
    };
    auto with = [](const std::string& key, const std::string& value) {
        std::map<std::string, std::string> text = GoodMapping();
        if (value.empty())
            text.erase(key);
        else
            text[key] = value;
        return text;
    };
    const std::vector<Case> cases = {
        {"bare.png", {}, 16, "no depth mapping"},
        {"near.png", with("deepglass:near", "2,5"), 16, "deepglass:near is \"2,5\""},
        {"order.png", with("deepglass:far", "1"), 16, "deepglass:far is \"1\""},
        {"curve.png", with("deepglass:curve", ""), 16, "no deepglass:curve"},
        {"white.png", with("deepglass:white", "far"), 16, "deepglass:white"},
        {"bits.png", GoodMapping(), 8, "deepglass:bits is 16, but the picture's samples have 8 bits"},
        {"missing.png", {}, 0, "cannot read missing.png"},
    };
    for (const Case& c : cases) {
        if (c.bits != 0) WriteGreyPng(Path(c.name), 2, {0, 200}, c.bits, c.text);
        const ToolRun run = Run({"depth", c.name, "-o", "out.exr"});
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_THAT(run.err, HasSubstr(c.name)) << c.name;
        EXPECT_THAT(run.err, HasSubstr(c.error)) << c.name;
        EXPECT_FALSE(std::filesystem::exists(Path("out.exr"))) << c.name;
    }
    EXPECT_EQ(Run({"depth", "near.png", "--range", "frame"}).status, 2);
}

// A channel named with any bytes: its pictures hold the name as text (bytes that are not UTF-8
// escaped as \xHH, a backslash as \\), info shows it so both in the frame and in the picture, and
// an EXR output keeps the name's bytes.
TEST_F(DepthMapping, NamesOfAnyBytesGoIntoPicturesAndInfoAsText)
{
    const struct {
        std::string name;
        std::string shown;
    } cases[] = {
        {"Tief\xE9", "Tief\\xE9"},        // Latin-1
        {"Tief\xC3\xA9", "Tief\xC3\xA9"}, // UTF-8, as written
        {"L\\Z", "L\\\\Z"},
    };
    // UTF-8 throughout: each lead byte followed by as many continuation bytes as it says.
    auto utf8 = [](const std::string& text) {
        for (std::size_t i = 0; i < text.size();) {
            const auto lead = static_cast<unsigned char>(text[i++]);
            const std::size_t more = lead < 0x80   ? 0
                                     : lead < 0xC2 ? 9
                                     : lead < 0xE0 ? 1
                                     : lead < 0xF0 ? 2
                                     : lead < 0xF5 ? 3
                                                   : 9;
            for (std::size_t k = 0; k < more; ++k, ++i)
                if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return false;
        }
        return true;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        TestFrame frame = MakeTestFrame(2, 1, {2.0, 10.0});
        frame.channels[4].name = c.name;
        WriteTestExr(Path("named.exr"), frame);
        for (const char* output : {"named.png", "out.exr"})
            ASSERT_EQ(Run({"apply", "--depth", c.name, "named.exr", "-o", output}).status, 0) << output;
        const ToolRun picture = Run({"info", "named.png"});
        const ToolRun input = Run({"info", "named.exr"});
        EXPECT_THAT(picture.out, HasSubstr("deepglass:depth = " + c.shown + "\n"));
        EXPECT_THAT(input.out, HasSubstr(c.shown + " (FLOAT)"));
        for (const ToolRun* run : {&picture, &input}) EXPECT_TRUE(utf8(run->out)) << run->out;
        Imf::InputFile written(Path("out.exr").c_str());
        EXPECT_TRUE(written.header().channels().findChannel(c.name));
    }
}

} // namespace
