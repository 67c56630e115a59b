// Frames decoded a strip of rows at a time straight into the stand-in storage hold exactly what the
// whole-frame path makes of the same file: colour levels, depth bits, IDs, the background rule,
// pixels a part does not cover, and the errors, with one worker's buffers carried from frame to
// frame.
#include <gmock/gmock.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "cli/tool_error.h"
#include "files/exr_reader.h"
#include "files/exr_writer.h"
#include "host/host_frame.h"
#include "host/storage_frame.h"

namespace {

using Samples = std::vector<float>;

// A channel whose sample i is values[i % size]; UINT channels take them as whole numbers.
FrameChannel Channel(const std::string& name, SampleType type, const Samples& values, std::size_t count)
{
    FrameChannel channel{name, type, {}};
    for (std::size_t i = 0; i < count; ++i) {
        const float value = values[i % values.size()];
        channel.samples.push_back(type == SampleType::UINT ? static_cast<std::uint32_t>(value)
                                                           : std::bit_cast<std::uint32_t>(value));
    }
    return channel;
}

ExrPart Part(const std::string& name, PixelBox window,
             const std::vector<std::pair<std::string, SampleType>>& names, const Samples& values)
{
    ExrPart part{name, "", {}};
    part.frame.dataWindow = part.frame.displayWindow = window;
    for (const auto& [channel, type] : names)
        part.frame.channels.push_back(Channel(channel, type, values, part.frame.PixelCount()));
    return part;
}

const float NAN_F = std::numeric_limits<float>::quiet_NaN();
const Samples COLOUR = {2.5f, 0.5f, NAN_F, 1, 0.25f, -1, 0.75f, 1e-6f, 0.4999f, 0, 65504, 0.1f, 0.3f};
const Samples DEPTH = {-10, -20, 0, -1e30f, 5e19f, 3.25f, -0.0f};
const Samples IDS = {1, 2, 0, 7, 255};
const std::vector<std::pair<std::string, SampleType>> RGBA = {
    {"A", SampleType::HALF}, {"B", SampleType::HALF}, {"G", SampleType::HALF}, {"R", SampleType::HALF}};

struct Case {
    const char* what;
    std::vector<ExrPart> parts;
    BackgroundRule background;
    std::string error; // a part of the message both paths give, or "" for none
};

} // namespace

TEST(StorageFrame, HoldsWhatTheWholeFrameReadMakesOfTheFile)
{
    const PixelBox tall = {-1, 3, 2, 132}; // 130 rows: two whole strips and a part of one
    const PixelBox small = {0, 0, 4, 2};
    ExrPart plain = Part("", tall, RGBA, COLOUR);
    plain.frame.channels.push_back(Channel("Z", SampleType::FLOAT, DEPTH, plain.frame.PixelCount()));
    plain.frame.channels.push_back(Channel("materialID", SampleType::UINT, IDS, plain.frame.PixelCount()));
    plain.frame.channels.push_back(Channel("objectID", SampleType::HALF, IDS, plain.frame.PixelCount()));
    // The same size again without alpha or IDs: nothing of the frame before may show through.
    ExrPart bare = Part(
        "", tall, {{"B", SampleType::FLOAT}, {"G", SampleType::FLOAT}, {"R", SampleType::FLOAT}}, COLOUR);
    bare.frame.channels.push_back(Channel("Z", SampleType::HALF, DEPTH, bare.frame.PixelCount()));
    const Case cases[] = {
        {"one part", {plain}, {}, ""},
        {"alpha as background", {plain}, {BackgroundRule::Kind::ALPHA, 0}, ""},
        {"no alpha, no IDs", {bare}, {BackgroundRule::Kind::DEPTH, 0}, ""},
        // Colour from a part that covers only part of the depth's window, and one wider.
        {"parts",
         {Part("depth", small, {{"Z", SampleType::FLOAT}}, DEPTH),
          Part("rgb", {2, 1, 6, 5},
               {{"B", SampleType::HALF}, {"G", SampleType::HALF}, {"R", SampleType::HALF}}, COLOUR),
          Part("ids", {-3, -1, 5, 2}, {{"materialID", SampleType::FLOAT}, {"objectID", SampleType::UINT}},
               IDS)},
         {},
         ""},
        {"UINT depth", {Part("", small, {{"Z", SampleType::UINT}}, IDS)}, {}, "holds UINT samples"},
        {"ID beyond 8 bits",
         {Part("", small, {{"Z", SampleType::FLOAT}, {"materialID", SampleType::UINT}}, {1, 2, 256})},
         {},
         "holds 256 at pixel (2, 0)"},
        {"ID not whole",
         {Part("", small, {{"Z", SampleType::FLOAT}, {"objectID", SampleType::FLOAT}}, {1, 2.5f})},
         {},
         "holds 2.5 at pixel (1, 0)"},
    };
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("storage-frame-" + std::to_string(::getpid()) + ".exr");
    FrameBuffers buffers;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        ExrFile file;
        file.parts = test.parts;
        for (ExrPart& part : file.parts) part.frame.displayWindow = file.parts[0].frame.dataWindow;
        std::vector<std::string> notes;
        WriteExrFile(path.string(), file, notes);
        const std::uint32_t ids = CHANNEL_MATERIAL_ID | CHANNEL_OBJECT_ID;

        std::string expectedError, error;
        HostFrame expected;
        try {
            const ViewFrame whole = FrameOfView(ReadExrFile(path.string()).file, "", {});
            expected = HostFrameOf(whole.frame, whole.choice, test.background, ids);
        } catch (const ToolError& failure) {
            expectedError = failure.what();
        }
        ExrStripReader reader(path.string());
        const ViewFrame made = ViewLayoutOf(reader.Layout(), "", {});
        MemoryStorage* storage = nullptr;
        try {
            storage = &LoadStorageFrame(reader, made, test.background, ids, buffers);
        } catch (const ToolError& failure) {
            error = failure.what();
        }
        EXPECT_EQ(error, expectedError);
        if (!test.error.empty()) {
            EXPECT_THAT(error, ::testing::HasSubstr(test.error));
            continue;
        }
        ASSERT_NE(storage, nullptr);
        ASSERT_EQ(storage->PixelCount(), expected.colour.size());
        const std::size_t count = storage->PixelCount();
        EXPECT_EQ(std::memcmp(storage->Pixels(), expected.colour.data(), count * sizeof(BMM_Color_64)), 0);
        EXPECT_EQ(std::memcmp(storage->Depth(), expected.depth.data(), count * sizeof(float)), 0);
        ASSERT_EQ(storage->MaterialIds() != nullptr, expected.materialIds.has_value());
        if (expected.materialIds) {
            EXPECT_EQ(std::vector<std::uint8_t>(storage->MaterialIds(), storage->MaterialIds() + count),
                      *expected.materialIds);
        }
        ASSERT_EQ(storage->ObjectIds() != nullptr, expected.objectIds.has_value());
        if (expected.objectIds) {
            EXPECT_EQ(std::vector<std::uint16_t>(storage->ObjectIds(), storage->ObjectIds() + count),
                      *expected.objectIds);
        }
    }
    std::filesystem::remove(path);
}
