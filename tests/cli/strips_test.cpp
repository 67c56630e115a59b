// A frame handed to the filter in strips against the same frame handed whole: the same file, byte
// for byte, on many random frames with the depths that make the filter's range subtle (NaN, ±inf,
// ±0, denormals, the depth limit and the float below it, ±1e30, nothing taking part), of one row or
// one column, in strips that leave odd remainders, in every mode and with the options that fix the
// scale, select or build a matte.
#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <half.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/command_line.h"
#include "commands/apply_command.h"
#include "commands/sample_command.h"
#include "exr_writing.h"
#include "module/filter_runner.h"

namespace fs = std::filesystem;
using namespace deepglass;

namespace {

const float NASTY[] = {std::numeric_limits<float>::quiet_NaN(),
                       -std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity(),
                       0.0f,
                       -0.0f,
                       std::numeric_limits<float>::denorm_min(),
                       -std::numeric_limits<float>::denorm_min(),
                       1e20f,
                       -1e20f,
                       std::nextafter(1e20f, 0.0f),
                       -std::nextafter(1e20f, 0.0f),
                       1e30f,
                       -1e30f,
                       1e10f};

// How a random frame's depths are drawn.
enum class Depths { ORDINARY, NASTY, BACKGROUND, NAN_LAST };

struct Frame {
    int width, height;
    std::vector<float> depth, colour, material, object;
};

Frame RandomFrame(std::mt19937& random, int width, int height, Depths kind)
{
    Frame frame{width, height, {}, {}, {}, {}};
    const std::size_t count = static_cast<std::size_t>(width) * height;
    std::uniform_real_distribution<float> near(-50.0f, -0.5f), unit(0.0f, 1.0f);
    std::uniform_int_distribution<int> nasty(0, std::size(NASTY) - 1), id(0, 3);
    for (std::size_t i = 0; i < count; ++i) {
        float z = near(random);
        if (kind == Depths::BACKGROUND) z = -1e30f;
        if (kind == Depths::NASTY && unit(random) < 0.3f) z = NASTY[nasty(random)];
        if (kind == Depths::NAN_LAST && i + 1 == count) z = std::numeric_limits<float>::quiet_NaN();
        if (unit(random) < 0.05f) z = -z; // in front of the camera's plane: the greys wrap
        frame.depth.push_back(z);
        for (int c = 0; c < 4; ++c) frame.colour.push_back(unit(random) < 0.1f ? 0.0f : unit(random));
        frame.material.push_back(static_cast<float>(id(random)));
        frame.object.push_back(static_cast<float>(id(random)));
    }
    return frame;
}

void WriteFrame(const fs::path& path, const Frame& frame, bool tiled, int displayShift)
{
    const Imath::Box2i data({3, -2}, {3 + frame.width - 1, -2 + frame.height - 1});
    Imath::Box2i display = data;
    display.min.y += displayShift;
    Imf::Header header(display, data);
    Imf::FrameBuffer buffer;
    const std::size_t count = frame.depth.size();
    std::vector<half> colour(count * 4);
    std::vector<std::uint32_t> material(count), object(count);
    for (std::size_t i = 0; i < count * 4; ++i) colour[i] = frame.colour[i];
    for (std::size_t i = 0; i < count; ++i) {
        material[i] = static_cast<std::uint32_t>(frame.material[i]);
        object[i] = static_cast<std::uint32_t>(frame.object[i]);
    }
    const auto base = [&](auto* first, std::size_t step) {
        return reinterpret_cast<char*>(first) - (static_cast<std::ptrdiff_t>(data.min.x) +
                                                 static_cast<std::ptrdiff_t>(data.min.y) * frame.width) *
                                                    static_cast<std::ptrdiff_t>(step);
    };
    const char* names[] = {"R", "G", "B", "A"};
    for (int c = 0; c < 4; ++c) {
        header.channels().insert(names[c], Imf::Channel(Imf::HALF));
        buffer.insert(names[c], Imf::Slice(Imf::HALF, base(colour.data() + c, 4 * sizeof(half)),
                                           4 * sizeof(half), 4 * sizeof(half) * frame.width));
    }
    header.channels().insert("Z", Imf::Channel(Imf::FLOAT));
    buffer.insert("Z", Imf::Slice(Imf::FLOAT, base(const_cast<float*>(frame.depth.data()), sizeof(float)),
                                  sizeof(float), sizeof(float) * frame.width));
    header.channels().insert("materialID", Imf::Channel(Imf::UINT));
    buffer.insert("materialID", Imf::Slice(Imf::UINT, base(material.data(), 4), 4, 4 * frame.width));
    header.channels().insert("objectID", Imf::Channel(Imf::UINT));
    buffer.insert("objectID", Imf::Slice(Imf::UINT, base(object.data(), 4), 4, 4 * frame.width));
    WriteFlatExr(path.string(), header, buffer, tiled);
}

std::string Bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class StripsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder =
            fs::temp_directory_path() / ("deepglass-strips-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
        filter = std::make_unique<FilterRunner>(DEEPGLASS_MODULE_PATH);
        discard = std::fopen("/dev/null", "w");
    }
    void TearDown() override
    {
        std::fclose(discard);
        fs::remove_all(folder);
    }

    // What `apply` with `words` writes of `input`, with strips of `stripRows`, and its status.
    std::string Apply(std::vector<std::string> words, const fs::path& input, int stripRows, int& status)
    {
        const fs::path output = folder / "out.png";
        fs::remove(output);
        words.insert(words.begin(), "apply");
        words.insert(words.end(), {input.string(), "-o", output.string()});
        Command command = ParseCommandLine(words);
        command.apply.stripRows = stripRows;
        status = RunApply(*filter, command.apply, discard, discard);
        return fs::exists(output) ? Bytes(output) : std::string();
    }

    // The same file from strips of each of `rows` as from the frame whole, and the same status.
    void ExpectSameInStrips(const std::vector<std::string>& words, const fs::path& input,
                            const std::vector<int>& rows, const std::string& what)
    {
        int wholeStatus = -1;
        const std::string whole = Apply(words, input, STRIPS_OFF, wholeStatus);
        for (int stripRows : rows) {
            int status = -1;
            const std::string strips = Apply(words, input, stripRows, status);
            EXPECT_EQ(status, wholeStatus) << what << ", strips of " << stripRows;
            EXPECT_TRUE(strips == whole) << what << ", strips of " << stripRows << " rows differ";
        }
    }

    fs::path folder;
    std::unique_ptr<FilterRunner> filter;
    std::FILE* discard = nullptr;
};

// Option sets that leave the scale to the filter, fix it, clip it, curve it and select over it.
const std::vector<std::vector<std::string>> OPTIONS = {
    {},
    {"--background", "none"},
    {"--range", "0.5:20"},
    {"--clip", "5:95", "--bits", "8"},
    {"--curve", "inverse", "--clip", "1:99"},
    {"--mode", "material", "--id", "2"},
    {"--mode", "object", "--id", "1", "--range-over", "selection", "--background", "alpha"},
    {"--mode", "object", "--id", "3", "--range", "1:30", "--opaque"},
};

TEST_F(StripsTest, RandomFramesTheSameFileInStripsAsWhole)
{
    std::mt19937 random(41);
    const struct {
        int width, height;
        Depths depths;
        bool tiled;
        int displayShift;
    } frames[] = {
        {7, 11, Depths::ORDINARY, false, 0}, {7, 11, Depths::NASTY, false, 0},
        {1, 9, Depths::NASTY, false, 0},     {13, 1, Depths::NASTY, false, 0},
        {2, 7, Depths::NASTY, true, 0},      {5, 6, Depths::BACKGROUND, false, 0},
        {6, 5, Depths::NAN_LAST, false, 0},  {9, 17, Depths::NASTY, false, 3},
        {9, 17, Depths::ORDINARY, true, -2}, {31, 23, Depths::NASTY, false, 0},
        {1, 1, Depths::NASTY, false, 0},     {1, 1, Depths::NAN_LAST, false, 0},
        {3, 40, Depths::NAN_LAST, false, 0}, {4, 33, Depths::NASTY, true, 0},
    };
    for (const auto& shape : frames) {
        for (int draw = 0; draw < 2; ++draw) {
            const Frame frame = RandomFrame(random, shape.width, shape.height, shape.depths);
            const fs::path input = folder / "in.exr";
            WriteFrame(input, frame, shape.tiled, shape.displayShift);
            for (const std::vector<std::string>& words : OPTIONS)
                ExpectSameInStrips(words, input, {1, 2, 3, 5},
                                   std::to_string(shape.width) + " x " + std::to_string(shape.height) +
                                       " frame, draw " + std::to_string(draw) + ", options " +
                                       testing::PrintToString(words));
        }
    }
}

TEST_F(StripsTest, MattesSelectionsAndSegmentsTheSameInStripsAsWhole)
{
    // The sample's Cryptomatte layers, and a frame of several picture segments with the strips
    // and bands of the default strip height.
    const fs::path sample = folder / "sample.exr";
    ASSERT_EQ(RunSample({sample.string(), 160, 90, true}), 0);
    const fs::path tall = folder / "tall.exr";
    ASSERT_EQ(RunSample({tall.string(), 1200, 700, false}), 0);
    const std::vector<std::vector<std::string>> mattes = {
        {"--mode", "object", "--id", "2", "--matte", "box"},
        {"--mode", "object", "--id", "5", "--matte", "sphere*", "--range-over", "selection"},
        {"--mode", "material", "--id", "1", "--matte", "glass", "--colour", "srgb"},
        {"--mode", "object", "--id", "9", "--matte", "nothing*"},
    };
    for (const std::vector<std::string>& words : mattes)
        ExpectSameInStrips(words, sample, {1, 4, 7}, testing::PrintToString(words));
    for (const std::vector<std::string>& words : OPTIONS)
        ExpectSameInStrips(words, tall, {0, 9}, "1200 x 700, " + testing::PrintToString(words));
}

} // namespace
