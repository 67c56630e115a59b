// The frame handed to the filter, as both sources make it (decoded strip by strip from the file,
// and from a file held whole): colour levels, depth, IDs at their host widths, the background
// rule, pixels a part does not cover, and the errors, with one worker's buffers carried from
// frame to frame.
#include <gmock/gmock.h>
#include <unistd.h>

#include <bit>
#include <filesystem>
#include <limits>
#include <optional>

#include "expect_error.h"
#include "exr/exr_input.h"
#include "exr/exr_reader.h"
#include "frame/storage_frame.h"
#include "frame/view_frame.h"
#include "output/exr_writer.h"

using namespace deepglass;

namespace {

using Samples = std::vector<float>;
using Ids = std::optional<std::vector<std::uint32_t>>;

FrameChannel Channel(const std::string& name, SampleType type, const Samples& values)
{
    FrameChannel channel{name, type, {}};
    for (float value : values)
        channel.samples.push_back(type == SampleType::UINT ? static_cast<std::uint32_t>(value)
                                                           : std::bit_cast<std::uint32_t>(value));
    return channel;
}

ExrPart Part(const std::string& name, PixelBox window, std::vector<FrameChannel> channels)
{
    ExrPart part;
    part.name = name;
    part.frame.dataWindow = part.frame.displayWindow = window;
    part.frame.channels = std::move(channels);
    return part;
}

const float NAN_F = std::numeric_limits<float>::quiet_NaN();
const PixelBox ROW = {0, 0, 2, 0};
constexpr std::uint32_t BOTH_IDS = CHANNEL_MATERIAL_ID | CHANNEL_OBJECT_ID;
constexpr std::uint16_t FULL = 65535;

std::vector<FrameChannel> Plain(const Samples& alpha)
{
    std::vector<FrameChannel> channels = {Channel("B", SampleType::FLOAT, {0, 0, 0}),
                                          Channel("G", SampleType::FLOAT, {-1, 0.25f, 1}),
                                          Channel("R", SampleType::FLOAT, {2.5f, 0.5f, NAN_F}),
                                          Channel("Z", SampleType::FLOAT, {-10, 0, 5e19f}),
                                          Channel("materialID", SampleType::UINT, {1, 2, 255}),
                                          Channel("objectID", SampleType::HALF, {7, 0, 300})};
    if (!alpha.empty()) channels.insert(channels.begin(), Channel("A", SampleType::FLOAT, alpha));
    return channels;
}

struct Case {
    const char* what;
    std::vector<ExrPart> parts;
    BackgroundRule background;
    std::uint32_t channels;
    std::vector<BMM_Color_64> colour;
    Samples depth;
    Ids material;
    Ids object;
    const char* error = ""; // a part of the message, or "" for none
};

} // namespace

TEST(StorageFrame, HoldsTheFrameAsTheFilterTakesItFromEitherSource)
{
    const std::vector<BMM_Color_64> levels = {
        {FULL, 0, 0, FULL}, {32768, 16384, 0, FULL}, {0, FULL, 0, FULL}};
    const Case cases[] = {
        {"levels rounded, missing alpha opaque, IDs at host widths",
         {Part("", ROW, Plain({}))},
         {},
         BOTH_IDS,
         levels,
         {-10, 0, 5e19f},
         std::vector<std::uint32_t>{1, 2, 255},
         std::vector<std::uint32_t>{7, 0, 300}},
        {"alpha 0 as background, only the object IDs asked for",
         {Part("", ROW, Plain({0, 1, 0}))},
         {BackgroundRule::Kind::ALPHA, 0},
         CHANNEL_OBJECT_ID,
         {{FULL, 0, 0, 0}, {32768, 16384, 0, FULL}, {0, FULL, 0, 0}},
         {-1e30f, 0, -1e30f},
         std::nullopt,
         std::vector<std::uint32_t>{7, 0, 300}},
        {"depth 0 as background, no IDs asked for",
         {Part("", ROW, Plain({}))},
         {BackgroundRule::Kind::DEPTH, 0},
         0,
         levels,
         {-10, -1e30f, 5e19f},
         std::nullopt,
         std::nullopt},
        // Colour from a part that covers only the right of the depth's window, IDs from one to its left.
        {"parts that cover part of the frame",
         {Part("depth", ROW, {Channel("Z", SampleType::FLOAT, {1, 2, 3})}),
          Part("rgb", {1, 0, 3, 0}, {Channel("R", SampleType::FLOAT, {1, 1, 1})}),
          Part("ids", {-1, 0, 0, 0}, {Channel("materialID", SampleType::FLOAT, {5, 6})})},
         {},
         BOTH_IDS,
         {{0, 0, 0, FULL}, {FULL, 0, 0, FULL}, {FULL, 0, 0, FULL}},
         {1, 2, 3},
         std::vector<std::uint32_t>{6, 0, 0},
         std::nullopt},
        {"UINT depth",
         {Part("", ROW, {Channel("Z", SampleType::UINT, {1, 2, 3})})},
         {},
         0,
         {},
         {},
         {},
         {},
         "the depth channel Z holds UINT samples"},
        {"ID beyond 8 bits",
         {Part("", ROW,
               {Channel("Z", SampleType::FLOAT, {1, 2, 3}),
                Channel("materialID", SampleType::UINT, {1, 2, 256})})},
         {},
         BOTH_IDS,
         {},
         {},
         {},
         {},
         "channel materialID holds 256 at pixel (2, 0), which does not fit the host's 8-bit channel"},
        {"ID not whole",
         {Part("", ROW,
               {Channel("Z", SampleType::FLOAT, {1, 2, 3}),
                Channel("objectID", SampleType::FLOAT, {1, 2.5f, 3})})},
         {},
         BOTH_IDS,
         {},
         {},
         {},
         {},
         "channel objectID holds 2.5 at pixel (1, 0); IDs must be whole numbers"},
    };
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("storage-frame-" + std::to_string(::getpid()) + ".exr");
    FrameBuffers buffers;
    for (const Case& test : cases) {
        ExrFile file;
        file.parts = test.parts;
        for (ExrPart& part : file.parts) part.frame.displayWindow = ROW;
        std::vector<std::string> notes;
        WriteExrFile(path.string(), file, notes);
        ExrInput strip(path.string());
        const ExrReadResult read = ReadExrFile(path.string());
        HeldSamples held(read.file);
        for (SampleSource* source : {static_cast<SampleSource*>(&strip), static_cast<SampleSource*>(&held)}) {
            SCOPED_TRACE(std::string(test.what) + (source == &held ? ", held" : ", decoded"));
            const ViewFrame made = ViewLayoutOf(source->Layout(), "", {});
            auto load = [&]() -> MemoryStorage& {
                return LoadStorageFrame(*source, made, test.background, test.channels, buffers).storage;
            };
            if (*test.error != '\0') {
                ExpectError([&] { load(); }, test.error);
                continue;
            }
            MemoryStorage& storage = load();
            const std::size_t count = storage.PixelCount();
            ASSERT_EQ(count, test.depth.size());
            for (std::size_t i = 0; i < count; ++i) {
                const BMM_Color_64 &got = storage.Pixels()[i], &want = test.colour[i];
                EXPECT_THAT((std::vector<int>{got.r, got.g, got.b, got.a}),
                            ::testing::ElementsAre(want.r, want.g, want.b, want.a))
                    << "pixel " << i;
            }
            EXPECT_THAT(Samples(storage.Depth(), storage.Depth() + count),
                        ::testing::ElementsAreArray(test.depth));
            auto ids = [count](const auto* channel) -> Ids {
                if (channel == nullptr) return std::nullopt;
                return std::vector<std::uint32_t>(channel, channel + count);
            };
            EXPECT_EQ(ids(storage.MaterialIds()), test.material);
            EXPECT_EQ(ids(storage.ObjectIds()), test.object);
        }
    }
    std::filesystem::remove(path);
}
