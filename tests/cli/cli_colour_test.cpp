// Kept colour in the ID modes' PNG pictures: as stored, through the sRGB curve or through a display
// and view of an OpenColorIO config (the small one in the fixtures: display sRGB, views Standard,
// the sRGB curve, and Gamma, a 2.2 power), against the formula and OpenColorIO's own processing;
// depth greys, whole-mode pictures and EXR outputs untouched; bad choices refused.
#include <OpenColorIO/OpenColorIO.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>

#include <gmock/gmock.h>

#include "cli_support.h"

using ::testing::HasSubstr;

namespace fs = std::filesystem;
namespace OCIO = OCIO_NAMESPACE;

namespace {

const std::string CONFIG = std::string(DEEPGLASS_FIXTURES) + "/colour/config.ocio";

// Object 3 selected at pixel 0; pixel 1 opaque with a value in the curve's linear part and one
// above 1; pixel 2 under alpha 0.5, premultiplied (straight 0.25, 0.125, 0.75).
const std::vector<double> COLOUR = {0.5, 0.5, 0.5,   1.0,    0.25,  0.001953125,
                                    1.5, 1.0, 0.125, 0.0625, 0.375, 0.5};
const std::vector<double> STRAIGHT = {0.25, 0.001953125, 1.5, 0.25, 0.125, 0.75}; // R, G, B of pixels 1, 2

std::uint16_t Level(double value)
{
    return static_cast<std::uint16_t>(std::lround(std::clamp(value, 0.0, 1.0) * 65535));
}

double SrgbCurve(double linear)
{
    linear = std::clamp(linear, 0.0, 1.0);
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}

std::function<double(double)> ConfigView(const char* view)
{
    const OCIO::ConstCPUProcessorRcPtr processor =
        OCIO::Config::CreateFromFile(CONFIG.c_str())
            ->getProcessor("scene_linear", "sRGB", view, OCIO::TRANSFORM_DIR_FORWARD)
            ->getDefaultCPUProcessor();
    return [processor](double value) {
        float rgb[3] = {static_cast<float>(value), 0.0f, 0.0f};
        processor->applyRGB(rgb);
        return static_cast<double>(rgb[0]);
    };
}

RunLimits WithConfig(const std::string& config)
{
    RunLimits limits;
    limits.runUnder = {"env", "OCIO=" + config};
    return limits;
}

// A big-endian number of the profile.
std::uint32_t Number(const std::vector<unsigned char>& icc, std::size_t at, int bytes)
{
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | icc.at(at + i);
    return value;
}

// The linear value an ICC profile's red tone curve gives the device value `encoded`, at the
// curve's nearest point.
double ProfileLinear(const std::vector<unsigned char>& icc, double encoded)
{
    const std::uint32_t tags = Number(icc, 128, 4);
    for (std::uint32_t t = 0; t < tags; ++t) {
        const std::size_t entry = 132 + 12 * t;
        if (std::string(icc.begin() + entry, icc.begin() + entry + 4) != "rTRC") continue;
        const std::size_t curve = Number(icc, entry + 4, 4);
        const std::uint32_t points = Number(icc, curve + 8, 4);
        const auto nearest = static_cast<std::size_t>(std::lround(encoded * (points - 1)));
        return Number(icc, curve + 12 + 2 * nearest, 2) / 65535.0;
    }
    ADD_FAILURE() << "no red tone curve";
    return -1;
}

std::string Bytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

class Colour : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        WriteTestExr(Path("frame.exr"), MakeTestFrame(3, 1, {-1, -2, -3}, COLOUR, {}, {3, 1, 1}));
    }
};

TEST_F(Colour, EachValueGivesItsTransformOfTheKeptColourAndLeavesTheGreysAlone)
{
    const struct {
        std::string colour;
        bool config;
        std::function<double(double)> transform;
        bool srgbChunk;
        bool iccChunk; // the Gamma view is no sRGB curve
    } cases[] = {
        {"linear", false, [](double v) { return v; }, false, false},
        {"linear", true, [](double v) { return v; }, false, false},
        {"srgb", false, SrgbCurve, true, false},
        {"srgb", true, SrgbCurve, true, false},
        {"auto", false, SrgbCurve, true, false},
        {"auto", true, ConfigView("Standard"), true, false},
        {"sRGB/Standard", true, ConfigView("Standard"), true, false},
        {"sRGB/Gamma", true, ConfigView("Gamma"), false, true},
    };
    const Png linear =
        Applied({"--mode", "object", "--id", "3", "--colour", "linear", "frame.exr"}, "linear.png");
    for (const auto& test : cases) {
        SCOPED_TRACE(test.colour + (test.config ? " with $OCIO" : ""));
        const ToolRun run = Run(
            {"apply", "--mode", "object", "--id", "3", "--colour", test.colour, "frame.exr", "-o", "out.png"},
            test.config ? WithConfig(CONFIG) : RunLimits{});
        ASSERT_EQ(run.status, 0) << run.err;
        const Png png = ReadPng(Path("out.png"));
        EXPECT_EQ(png.srgb, test.srgbChunk);
        EXPECT_EQ(!png.icc.empty(), test.iccChunk);
        // The profile's tone curve takes the display value back to the linear one.
        if (!png.icc.empty()) {
            for (double encoded : {0.25, 0.5, 0.75})
                EXPECT_NEAR(ProfileLinear(png.icc, encoded), std::pow(encoded, 2.2), 0.002) << encoded;
        }
        // The selected pixel's grey and every alpha are the filter's, whatever the colour.
        EXPECT_EQ(std::vector<std::uint16_t>(png.samples.begin(), png.samples.begin() + 4),
                  std::vector<std::uint16_t>(linear.samples.begin(), linear.samples.begin() + 4));
        EXPECT_EQ(png.Channel(3), linear.Channel(3));
        for (int pixel = 1; pixel < 3; ++pixel)
            for (int c = 0; c < 3; ++c) {
                // Linear keeps the values as stored; a transform takes them straight.
                const double stored =
                    test.colour == "linear" ? COLOUR[pixel * 4 + c] : STRAIGHT[(pixel - 1) * 3 + c];
                EXPECT_NEAR(png.samples[pixel * 4 + c], Level(test.transform(stored)), 1)
                    << "pixel " << pixel << " channel " << c;
            }
    }
}

TEST_F(Colour, WholeModePicturesAndExrOutputsDoNotDependOnColourOrOcio)
{
    fs::copy_file(CONFIG, Path("config.ocio"));
    std::ofstream(Path("broken.ocio")) << "not a config\n";
    const struct {
        std::vector<std::string> options;
        std::string output;
    } cases[] = {
        {{}, "whole.png"},
        {{"--png", "rgba"}, "whole.png"},
        {{"--mode", "object", "--id", "3"}, "object.exr"},
    };
    for (const auto& test : cases) {
        std::vector<std::string> arguments = {"apply", "frame.exr", "-o", "plain-" + test.output};
        arguments.insert(arguments.end(), test.options.begin(), test.options.end());
        ASSERT_EQ(Run(arguments).status, 0);
        const std::string plain = Bytes(Path("plain-" + test.output));
        for (const std::string& config : {std::string("config.ocio"), std::string("broken.ocio")}) {
            SCOPED_TRACE(test.output + " with $OCIO " + config);
            arguments[3] = "with-" + test.output;
            const ToolRun run = Run(arguments, WithConfig(config));
            ASSERT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(Bytes(Path("with-" + test.output)), plain);
        }
    }
    const Png whole = ReadPng(Path("plain-whole.png"));
    EXPECT_FALSE(whole.srgb); // depth greys are data
}

TEST_F(Colour, BadChoicesAreRefusedWithNothingWritten)
{
    std::ofstream(Path("broken.ocio")) << "ocio_profile_version: 2\ndisplays: [\n";
    const struct {
        std::vector<std::string> options;
        std::string config;
        std::string message;
    } cases[] = {
        {{"--colour", "Film/Standard"},
         CONFIG,
         "--colour: the OpenColorIO config " + CONFIG + " has no display Film; its displays: sRGB"},
        {{"--colour", "sRGB/Film"},
         CONFIG,
         "--colour: the display sRGB of the OpenColorIO config " + CONFIG +
             " has no view Film; its views: Standard, Gamma"},
        {{"--colour", "sRGB/Standard"},
         "",
         "--colour sRGB/Standard names a display and view of an OpenColorIO config, but $OCIO names none"},
        {{}, "broken.ocio", "--colour: the OpenColorIO config broken.ocio does not load: "},
        {{"--colour", "sepia"}, "", "--colour sepia: use auto, srgb, linear or DISPLAY/VIEW"},
        {{"--colour", "sRGB/"}, CONFIG, "--colour sRGB/: use auto, srgb, linear or DISPLAY/VIEW"},
        {{"--colour", "srgb", "--format", "exr"},
         "",
         "--colour is for PNG output; an EXR output keeps the colour as stored"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.message);
        std::vector<std::string> arguments = {"apply", "--mode",    "object", "--id",
                                              "3",     "frame.exr", "-o",     "out/"};
        arguments.insert(arguments.end(), test.options.begin(), test.options.end());
        const ToolRun run = Run(arguments, WithConfig(test.config));
        EXPECT_EQ(run.status, 2);
        EXPECT_THAT(run.err, HasSubstr(test.message));
        EXPECT_FALSE(fs::exists(Path("out")));
    }
}

TEST_F(Colour, InfoTellsTheTransformApplyWouldGive)
{
    const struct {
        std::vector<std::string> options;
        std::string config;
        std::string told;
    } cases[] = {
        {{}, "", "the sRGB curve (IEC 61966-2-1)"},
        {{"--colour", "linear"}, CONFIG, "as stored, scene-linear"},
        {{}, CONFIG, "OpenColorIO display sRGB, view Standard of " + CONFIG},
        {{"--colour", "sRGB/Gamma"}, CONFIG, "OpenColorIO display sRGB, view Gamma of " + CONFIG},
        // A config that does not load still lets info describe the frames.
        {{},
         "broken.ocio",
         "none apply would take: --colour: the OpenColorIO config broken.ocio does not load"},
    };
    std::ofstream(Path("broken.ocio")) << "not a config\n";
    for (const auto& test : cases) {
        std::vector<std::string> arguments = {"info", "frame.exr"};
        arguments.insert(arguments.end(), test.options.begin(), test.options.end());
        const ToolRun run = Run(arguments, WithConfig(test.config));
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_THAT(run.out, HasSubstr("kept colour (apply --mode material or object, PNG): " + test.told));
    }
}

} // namespace
