// The grey levels of the mapping on small frames with known depths.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "depth_to_grey.h"
#include "frames.h"
#include "work_image.h"

namespace {

constexpr float INF = std::numeric_limits<float>::infinity();
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

BMM_Color_64 Grey(std::uint16_t g) { return {g, g, g, g}; }

// Maps a frame through a working image built on the stand-in host and returns the pixels.
std::vector<BMM_Color_64> MapThroughWorkImage(const ReferenceFrame& frame, int selectionId,
                                              std::uint32_t idChannel = 0)
{
    auto storage = MakeStorage(frame);
    Bitmap bitmap(storage.get());
    WorkImage image(&bitmap);
    EXPECT_EQ(image.LoadChannel(CHANNEL_DEPTH), 1);
    if (idChannel != 0) {
        EXPECT_EQ(image.LoadChannel(idChannel), 1);
    }
    image.MapDepthToGrey(selectionId);
    return {image.Pixels(), image.Pixels() + frame.pixels.size()};
}

TEST(DepthRange, MagnitudesBelowTheLimitTakePart)
{
    const float depth[] = {-10.0f, -20.0f, -30.0f, -1e30f, 1e30f, NaN, 10.0f};
    const DepthRange range = ComputeDepthRange(depth, std::size(depth));
    EXPECT_EQ(range.minDepth, 10.0f);
    EXPECT_EQ(range.maxDepth, 30.0f); // NaN does not take over the maximum
    EXPECT_EQ(range.depthRange, 20.0f);

    const float limit[] = {-1e20f, std::nextafter(1e20f, 0.0f)};
    EXPECT_EQ(ComputeDepthRange(limit, 1).maxDepth, 0.0f);
    EXPECT_EQ(ComputeDepthRange(limit, 2).maxDepth, std::nextafter(1e20f, 0.0f));
}

TEST(DepthRange, NoPixelTakingPartKeepsTheStartingValues)
{
    const float depth[] = {-1e30f, INF, -INF, NaN, 1e20f};
    for (std::size_t count : {std::size_t{0}, std::size(depth)}) {
        const DepthRange range = ComputeDepthRange(depth, count);
        EXPECT_EQ(range.minDepth, 1e20f);
        EXPECT_EQ(range.maxDepth, 0.0f);
        EXPECT_EQ(range.depthRange, -1e20f);
    }
}

TEST(GreyLevel, SaturatesInsteadOfWrapping)
{
    EXPECT_EQ(GreyLevel(-10.0f, 10.0f, 20.0f), 65535);
    EXPECT_EQ(GreyLevel(-20.0f, 10.0f, 20.0f), 32767); // from 32767.5, truncated
    EXPECT_EQ(GreyLevel(-30.0f, 10.0f, 20.0f), 0);
    EXPECT_EQ(GreyLevel(-5.0f, 10.0f, 20.0f), 65535);  // beyond the nearest: product 81918.75
    EXPECT_EQ(GreyLevel(-40.0f, 10.0f, 20.0f), 0);     // beyond the farthest: product -32767.5
    EXPECT_EQ(GreyLevel(+10.0f, 10.0f, 20.0f), 65535); // positive depths map like their magnitude
    EXPECT_EQ(GreyLevel(+20.0f, 10.0f, 20.0f), 32767);
}

TEST(GreyLevel, DepthsOutsideTheRangeAndZeroRangesGiveBlack)
{
    for (float z : {1e30f, -1e30f, 1e20f, -1e20f, INF, -INF, NaN}) {
        EXPECT_EQ(GreyLevel(z, 10.0f, 20.0f), 0) << z;
    }
    EXPECT_EQ(GreyLevel(-10.0f, 10.0f, 0.0f), 0); // 0/0
    EXPECT_EQ(GreyLevel(-12.0f, 10.0f, 0.0f), 0); // -inf
    EXPECT_EQ(GreyLevel(-0.0f, 0.0f, 1.0f), 65535);
}

TEST(MapDepthToGrey, WholeFrameTakesEveryPixel)
{
    const ReferenceFrame frame = MakeFrame(3, 2, {-10.0f, -20.0f, -30.0f, -1e30f, 1e30f, 10.0f});
    EXPECT_EQ(MapThroughWorkImage(frame, SELECT_ALL),
              (std::vector<BMM_Color_64>{Grey(65535), Grey(32767), Grey(0), Grey(0), Grey(0), Grey(65535)}));
}

TEST(MapDepthToGrey, FramesWithoutARangeComeOutBlack)
{
    const ReferenceFrame background = MakeFrame(2, 2, {-1e30f, -1e30f, -1e30f, -1e30f});
    EXPECT_EQ(MapThroughWorkImage(background, SELECT_ALL), std::vector<BMM_Color_64>(4, Grey(0)));
    const ReferenceFrame flat = MakeFrame(3, 1, {-7.0f, 7.0f, -1e30f});
    EXPECT_EQ(MapThroughWorkImage(flat, SELECT_ALL), std::vector<BMM_Color_64>(3, Grey(0)));
}

TEST(MapDepthToGrey, MaterialSelectionChangesOnlyMatchingPixels)
{
    ReferenceFrame frame = MakeFrame(4, 1, {-10.0f, -20.0f, -30.0f, -15.0f});
    frame.materialIds = std::vector<std::uint8_t>{5, 1, 5, 0};
    const auto mapped = MapThroughWorkImage(frame, 5, CHANNEL_MATERIAL_ID);
    // The scale spans the whole frame, unselected pixels included.
    EXPECT_EQ(mapped, (std::vector<BMM_Color_64>{Grey(65535), frame.pixels[1], Grey(0), frame.pixels[3]}));
    EXPECT_EQ(MapThroughWorkImage(frame, 256, CHANNEL_MATERIAL_ID), frame.pixels);
    EXPECT_EQ(MapThroughWorkImage(frame, 0, CHANNEL_MATERIAL_ID)[3], Grey(49151));
}

TEST(MapDepthToGrey, ObjectSelectionUsesSixteenBitIds)
{
    ReferenceFrame frame = MakeFrame(3, 1, {-10.0f, -20.0f, -30.0f});
    frame.objectIds = std::vector<std::uint16_t>{300, 65535, 300};
    EXPECT_EQ(MapThroughWorkImage(frame, 300, CHANNEL_OBJECT_ID),
              (std::vector<BMM_Color_64>{Grey(65535), frame.pixels[1], Grey(0)}));
    EXPECT_EQ(MapThroughWorkImage(frame, 65535, CHANNEL_OBJECT_ID)[1], Grey(32767));
    EXPECT_EQ(MapThroughWorkImage(frame, 65536, CHANNEL_OBJECT_ID), frame.pixels);
    EXPECT_EQ(MapThroughWorkImage(frame, -1, CHANNEL_OBJECT_ID)[1], Grey(32767));
}

TEST(WorkImageAccess, PositionsOutsideTheImageReadZeroAndWriteNothing)
{
    ReferenceFrame frame = MakeFrame(3, 2, {1, 2, 3, 4, 5, 6});
    frame.materialIds = std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6};
    frame.objectIds = std::vector<std::uint16_t>{10, 20, 30, 40, 50, 60};
    auto storage = MakeStorage(frame);
    Bitmap bitmap(storage.get());
    WorkImage image(&bitmap);
    EXPECT_EQ(image.GetDepth(0, 0), 0.0f); // no depth channel yet
    image.LoadChannel(CHANNEL_DEPTH);
    EXPECT_EQ(image.GetDepth(2, 1), 6.0f);
    EXPECT_EQ(image.GetDepth(-1, 0), 0.0f);
    EXPECT_EQ(image.GetDepth(3, 0), 0.0f);
    EXPECT_EQ(image.GetDepth(0, 2), 0.0f);

    EXPECT_EQ(image.GetId(1, 1), 0); // no ID channel in the set
    image.LoadChannel(CHANNEL_OBJECT_ID);
    EXPECT_EQ(image.GetId(1, 1), 50);
    EXPECT_EQ(image.GetId(3, 1), 0);
    image.LoadChannel(CHANNEL_MATERIAL_ID);
    EXPECT_EQ(image.GetId(1, 1), 5); // material effects take precedence

    const BMM_Color_64 red{65535, 0, 0, 65535};
    image.PutPixel(2.7f, 1.2f, red);
    EXPECT_EQ(image.Pixels()[5], red);
    for (float x : {-0.5f, 3.0f, NaN}) image.PutPixel(x, 0.0f, red);
    image.PutPixel(0.0f, NaN, red);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(image.Pixels()[i], frame.pixels[i]) << i;
}

TEST(WorkImageAccess, MaterialBitWithoutMaterialArrayReadsZeroIds)
{
    ReferenceFrame frame = MakeFrame(2, 1, {-1.0f, -2.0f});
    frame.objectIds = std::vector<std::uint16_t>{7, 7};
    auto storage = MakeStorage(frame);
    Bitmap bitmap(storage.get());
    WorkImage image(&bitmap);
    image.LoadChannel(CHANNEL_DEPTH);
    EXPECT_EQ(image.LoadChannel(CHANNEL_OBJECT_ID), 1);
    EXPECT_EQ(image.LoadChannel(CHANNEL_MATERIAL_ID), 0);
    EXPECT_EQ(image.GetId(0, 0), 0);
    image.MapDepthToGrey(7);
    EXPECT_EQ(image.Pixels()[0], frame.pixels[0]);
    image.MapDepthToGrey(0);
    EXPECT_EQ(image.Pixels()[0], Grey(65535));
}

} // namespace
