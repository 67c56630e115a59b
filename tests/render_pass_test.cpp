// The render pass end to end on frames of the stand-in host: result, frame, and every host call in
// order, for each situation the pass distinguishes.
#include <gtest/gtest.h>

#include <array>

#include "deepglass_filter.h"
#include "frames.h"

namespace {

struct Outcome {
    int result;
    std::vector<HostCall> calls;
    std::vector<BMM_Color_64> pixels;
};

void SetMode(DeepglassFilter& filter, std::int32_t mode, std::int32_t objectId = 1,
             std::int32_t materialId = 1)
{
    std::array<unsigned char, 16> record{};
    ASSERT_EQ(filter.SaveConfigure(record.data()), 1);
    FilterConfig config = ReadConfig(record.data());
    config.mode = mode;
    config.objectId = objectId;
    config.materialId = materialId;
    WriteConfig(config, record.data());
    ASSERT_EQ(filter.LoadConfigure(record.data()), 1);
}

Outcome RenderFrame(DeepglassFilter& filter, MemoryStorage& storage)
{
    Bitmap bitmap(&storage);
    filter.SetSource(&bitmap);
    storage.ClearCalls();
    Outcome outcome;
    outcome.result = filter.Render(0);
    outcome.calls = CallsOf(storage);
    outcome.pixels = PixelsOf(storage);
    filter.SetSource(nullptr);
    return outcome;
}

std::vector<HostCall> Sequence(int width, int height, std::vector<std::uint32_t> queries, bool writeBack)
{
    std::vector<HostCall> calls = RowCalls(HostCallKind::ReadPixels, width, height);
    for (std::uint32_t channel : queries) calls.push_back(Query(channel));
    if (writeBack) {
        const auto puts = RowCalls(HostCallKind::PutPixels, width, height);
        calls.insert(calls.end(), puts.begin(), puts.end());
    }
    return calls;
}

// A 4 x 3 frame with surfaces, a far background and both ID channels.
ReferenceFrame SceneFrame()
{
    ReferenceFrame frame =
        MakeFrame(4, 3, {-10, -12, -14, -1e30f, -16, -18, -20, -1e30f, -22, -24, -26, -30});
    frame.materialIds = std::vector<std::uint8_t>{1, 1, 2, 0, 2, 2, 1, 0, 3, 3, 3, 3};
    frame.objectIds = std::vector<std::uint16_t>{5, 5, 5, 0, 300, 300, 5, 0, 300, 7, 7, 7};
    return frame;
}

ReferenceFrame Only(ReferenceFrame frame, bool material, bool object)
{
    if (!material) frame.materialIds.reset();
    if (!object) frame.objectIds.reset();
    return frame;
}

TEST(RenderPass, WithoutSourceAnswersZeroAndCallsNothing)
{
    DeepglassFilter filter;
    EXPECT_EQ(filter.Render(0), 0);
    auto storage = MakeStorage(SceneFrame());
    Bitmap bitmap(storage.get());
    filter.SetSource(&bitmap);
    filter.SetSource(nullptr);
    EXPECT_EQ(filter.Render(0), 0);
    EXPECT_EQ(storage->CallCount(), 0u);
}

TEST(RenderPass, WithoutDepthAnswersZeroAndWritesNothingInAnyMode)
{
    const ReferenceFrame frame = SceneFrame();
    for (std::int32_t mode : {1010, 1011, 1012, 0}) {
        DeepglassFilter filter;
        SetMode(filter, mode);
        auto storage = MakeStorage(frame, false);
        const Outcome outcome = RenderFrame(filter, *storage);
        EXPECT_EQ(outcome.result, 0) << mode;
        EXPECT_EQ(outcome.calls, Sequence(4, 3, {CHANNEL_DEPTH}, false)) << mode;
        EXPECT_EQ(outcome.pixels, frame.pixels) << mode;
    }
    DeepglassFilter filter;
    Bitmap empty(nullptr);
    filter.SetSource(&empty);
    EXPECT_EQ(filter.Render(0), 0);
}

TEST(RenderPass, WholeImageQueriesOnlyDepthAndMapsEveryPixel)
{
    const ReferenceFrame frame = SceneFrame();
    DeepglassFilter filter;
    auto storage = MakeStorage(frame);
    const Outcome outcome = RenderFrame(filter, *storage);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.calls, Sequence(4, 3, {CHANNEL_DEPTH}, true));
    EXPECT_EQ(outcome.pixels, ReferenceMap(Only(frame, false, false), -1));
    EXPECT_EQ(outcome.pixels[0], (BMM_Color_64{65535, 65535, 65535, 65535}));
    EXPECT_EQ(outcome.pixels[3], (BMM_Color_64{0, 0, 0, 0}));
}

TEST(RenderPass, IdModesMapTheSelectedPixelsOverTheWholeFramesRange)
{
    const ReferenceFrame frame = SceneFrame();
    struct Case {
        std::int32_t mode, objectId, materialId;
        std::uint32_t channel;
        int selection;
    };
    for (const Case& c :
         {Case{1011, 1, 2, CHANNEL_MATERIAL_ID, 2}, Case{1011, 300, 3, CHANNEL_MATERIAL_ID, 3},
          Case{1012, 300, 1, CHANNEL_OBJECT_ID, 300}, Case{1012, 7, 2, CHANNEL_OBJECT_ID, 7}}) {
        DeepglassFilter filter;
        SetMode(filter, c.mode, c.objectId, c.materialId);
        auto storage = MakeStorage(frame);
        const Outcome outcome = RenderFrame(filter, *storage);
        const bool material = c.channel == CHANNEL_MATERIAL_ID;
        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(outcome.calls, Sequence(4, 3, {CHANNEL_DEPTH, c.channel}, true));
        EXPECT_EQ(outcome.pixels, ReferenceMap(Only(frame, material, !material), c.selection)) << c.mode;
        EXPECT_NE(outcome.pixels, frame.pixels);
    }
}

TEST(RenderPass, MissingIdChannelOrUnknownModeWritesTheFrameBackUnchanged)
{
    const ReferenceFrame frame = SceneFrame();
    struct Case {
        std::int32_t mode;
        bool material, object;
        std::vector<std::uint32_t> queries;
    };
    for (const Case& c :
         {Case{1011, false, true, {CHANNEL_DEPTH, CHANNEL_MATERIAL_ID}},
          Case{1012, true, false, {CHANNEL_DEPTH, CHANNEL_OBJECT_ID}}, Case{0, true, true, {CHANNEL_DEPTH}},
          Case{1013, true, true, {CHANNEL_DEPTH}}, Case{-1, true, true, {CHANNEL_DEPTH}}}) {
        DeepglassFilter filter;
        SetMode(filter, c.mode);
        auto storage = MakeStorage(Only(frame, c.material, c.object));
        const Outcome outcome = RenderFrame(filter, *storage);
        EXPECT_EQ(outcome.result, 1) << c.mode;
        EXPECT_EQ(outcome.calls, Sequence(4, 3, c.queries, true)) << c.mode;
        EXPECT_EQ(outcome.pixels, frame.pixels) << c.mode;
    }
}

TEST(RenderPass, StoredIdsReachTheMappingUnchanged)
{
    const ReferenceFrame frame = SceneFrame();
    const auto whole = ReferenceMap(Only(frame, false, false), -1);
    struct Case {
        std::int32_t mode, objectId, materialId;
        bool mapsAll;
    };
    for (const Case& c : {Case{1011, 1, -1, true}, Case{1012, -1, 1, true}, Case{1011, 1, 256, false},
                          Case{1012, 65536, 1, false}}) {
        DeepglassFilter filter;
        SetMode(filter, c.mode, c.objectId, c.materialId);
        auto storage = MakeStorage(frame);
        const Outcome outcome = RenderFrame(filter, *storage);
        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(outcome.pixels, c.mapsAll ? whole : frame.pixels) << c.mode;
    }
}

TEST(RenderPass, SettingsSurviveRendersAndEachFrameIsNormalisedAfresh)
{
    DeepglassFilter filter;
    SetMode(filter, 1012, 300, 2);
    std::array<unsigned char, 16> before{};
    filter.SaveConfigure(before.data());
    const ReferenceFrame frame = SceneFrame();
    for (int pass = 0; pass < 2; ++pass) {
        auto storage = MakeStorage(frame);
        EXPECT_EQ(RenderFrame(filter, *storage).pixels, ReferenceMap(Only(frame, false, true), 300));
    }
    std::array<unsigned char, 16> after{};
    filter.SaveConfigure(after.data());
    EXPECT_EQ(before, after);

    // The same depth maps to another level once the frame's range changes.
    ReferenceFrame nearer = frame;
    nearer.depth[0] = -4.0f;
    auto storage = MakeStorage(nearer);
    const Outcome outcome = RenderFrame(filter, *storage);
    EXPECT_EQ(outcome.pixels, ReferenceMap(Only(nearer, false, true), 300));
    EXPECT_NE(outcome.pixels[4], ReferenceMap(Only(frame, false, true), 300)[4]);
}

} // namespace
