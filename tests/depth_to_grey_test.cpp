// The grey levels of the mapping on small frames with known depths.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "depth_to_grey.h"
#include "frames.h"

namespace {

constexpr float INF = std::numeric_limits<float>::infinity();
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

BMM_Color_64 Grey(std::uint16_t g) { return {g, g, g, g}; }

// The frame's pixels after its mapping for selectionId, with the ID channel `idChannel` (0: none)
// loaded next to depth; ID arrays the frame lacks are absent.
std::vector<BMM_Color_64> Mapped(const ReferenceFrame& frame, int selectionId, std::uint32_t idChannel = 0)
{
    const DepthChannels channels{frame.depth.data(), frame.materialIds ? frame.materialIds->data() : nullptr,
                                 frame.objectIds ? frame.objectIds->data() : nullptr,
                                 CHANNEL_DEPTH | idChannel, frame.depth.size()};
    std::vector<BMM_Color_64> pixels = frame.pixels;
    GreyMapping(channels, selectionId).MapAll(pixels.data());
    return pixels;
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

TEST(GreyMapping, WholeFrameTakesEveryPixel)
{
    const ReferenceFrame frame = MakeFrame(3, 2, {-10.0f, -20.0f, -30.0f, -1e30f, 1e30f, 10.0f});
    EXPECT_EQ(Mapped(frame, SELECT_ALL),
              (std::vector<BMM_Color_64>{Grey(65535), Grey(32767), Grey(0), Grey(0), Grey(0), Grey(65535)}));
}

TEST(GreyMapping, FramesWithoutARangeComeOutBlack)
{
    const ReferenceFrame background = MakeFrame(2, 2, {-1e30f, -1e30f, -1e30f, -1e30f});
    EXPECT_EQ(Mapped(background, SELECT_ALL), std::vector<BMM_Color_64>(4, Grey(0)));
    const ReferenceFrame flat = MakeFrame(3, 1, {-7.0f, 7.0f, -1e30f});
    EXPECT_EQ(Mapped(flat, SELECT_ALL), std::vector<BMM_Color_64>(3, Grey(0)));
}

TEST(GreyMapping, MaterialSelectionChangesOnlyMatchingPixels)
{
    ReferenceFrame frame = MakeFrame(4, 1, {-10.0f, -20.0f, -30.0f, -15.0f});
    frame.materialIds = std::vector<std::uint8_t>{5, 1, 5, 0};
    const auto mapped = Mapped(frame, 5, CHANNEL_MATERIAL_ID);
    // The scale spans the whole frame, unselected pixels included.
    EXPECT_EQ(mapped, (std::vector<BMM_Color_64>{Grey(65535), frame.pixels[1], Grey(0), frame.pixels[3]}));
    EXPECT_EQ(Mapped(frame, 256, CHANNEL_MATERIAL_ID), frame.pixels);
    EXPECT_EQ(Mapped(frame, 0, CHANNEL_MATERIAL_ID)[3], Grey(49151));
}

TEST(GreyMapping, ObjectSelectionUsesSixteenBitIds)
{
    ReferenceFrame frame = MakeFrame(3, 1, {-10.0f, -20.0f, -30.0f});
    frame.objectIds = std::vector<std::uint16_t>{300, 65535, 300};
    EXPECT_EQ(Mapped(frame, 300, CHANNEL_OBJECT_ID),
              (std::vector<BMM_Color_64>{Grey(65535), frame.pixels[1], Grey(0)}));
    EXPECT_EQ(Mapped(frame, 65535, CHANNEL_OBJECT_ID)[1], Grey(32767));
    EXPECT_EQ(Mapped(frame, 65536, CHANNEL_OBJECT_ID), frame.pixels);
    EXPECT_EQ(Mapped(frame, -1, CHANNEL_OBJECT_ID)[1], Grey(32767));
}

TEST(GreyMapping, MaterialIdsOnceAskedForTakePrecedence)
{
    ReferenceFrame frame = MakeFrame(3, 1, {-10.0f, -20.0f, -30.0f});
    frame.objectIds = std::vector<std::uint16_t>{7, 0, 7};
    // Object IDs alone select.
    EXPECT_EQ(Mapped(frame, 7, CHANNEL_OBJECT_ID),
              (std::vector<BMM_Color_64>{Grey(65535), frame.pixels[1], Grey(0)}));
    // Material effects asked for but absent: every ID reads 0, whatever the object IDs hold.
    const std::uint32_t both = CHANNEL_OBJECT_ID | CHANNEL_MATERIAL_ID;
    EXPECT_EQ(Mapped(frame, 7, both), frame.pixels);
    EXPECT_EQ(Mapped(frame, 0, both), (std::vector<BMM_Color_64>{Grey(65535), Grey(32767), Grey(0)}));
    frame.materialIds = std::vector<std::uint8_t>{1, 7, 1};
    EXPECT_EQ(Mapped(frame, 7, both),
              (std::vector<BMM_Color_64>{frame.pixels[0], Grey(32767), frame.pixels[2]}));
    // No ID channel asked for: every ID reads 0.
    EXPECT_EQ(Mapped(frame, 1), frame.pixels);
    EXPECT_EQ(Mapped(frame, 0), Mapped(frame, SELECT_ALL));
}

} // namespace
