// The module's mapping against the plain reference on many random frames full of nasty values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "frames.h"
#include "work_image.h"

namespace {

float NastyDepth(std::mt19937& random)
{
    static const float nasty[] = {
        0.0f, -0.0f, std::numeric_limits<float>::denorm_min(), -std::numeric_limits<float>::denorm_min(),
        std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
        std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(), 1e20f, -1e20f,
        std::nextafter(1e20f, 0.0f), -std::nextafter(1e20f, 0.0f), 1e30f, -1e30f, -1e30f, -1e30f,
        std::numeric_limits<float>::max(), std::numeric_limits<float>::min()};
    std::uniform_int_distribution<int> pick(0, 9);
    switch (pick(random)) {
    case 0: return nasty[std::uniform_int_distribution<std::size_t>(0, std::size(nasty) - 1)(random)];
    case 1: return std::uniform_real_distribution<float>(-1e6f, 1e6f)(random);
    case 2: return -std::uniform_real_distribution<float>(9.0f, 11.0f)(random);
    case 3: return std::uniform_real_distribution<float>(9.0f, 11.0f)(random);
    default: return -std::uniform_real_distribution<float>(0.5f, 500.0f)(random);
    }
}

ReferenceFrame RandomFrame(std::mt19937& random, int width, int height)
{
    std::vector<float> depth(static_cast<std::size_t>(width) * height);
    // Some frames share one depth everywhere, so that the range is zero.
    const bool flat = std::uniform_int_distribution<int>(0, 15)(random) == 0;
    const float flatDepth = NastyDepth(random);
    for (float& z : depth) z = flat ? flatDepth : NastyDepth(random);
    ReferenceFrame frame = MakeFrame(width, height, std::move(depth));
    return frame;
}

std::vector<BMM_Color_64> MapThroughWorkImage(const ReferenceFrame& frame, int selectionId,
                                              std::uint32_t idChannel)
{
    auto storage = MakeStorage(frame);
    Bitmap bitmap(storage.get());
    WorkImage image(&bitmap);
    image.LoadChannel(CHANNEL_DEPTH);
    if (idChannel != 0) image.LoadChannel(idChannel);
    image.MapDepthToGrey(selectionId);
    return {image.Pixels(), image.Pixels() + frame.pixels.size()};
}

TEST(Differential, MappingMatchesTheReferenceOnRandomFrames)
{
    std::mt19937 random(20261208);
    const int sizes[][2] = {{0, 0}, {1, 1}, {0, 5}, {5, 0}, {1, 17}, {3, 3}, {7, 5}, {15, 2},
                            {16, 3}, {17, 4}, {31, 1}, {33, 9}, {64, 3}, {65, 2}, {127, 1}};
    for (int round = 0; round < 40; ++round) {
        for (const auto& size : sizes) {
            ReferenceFrame frame = RandomFrame(random, size[0], size[1]);
            const std::size_t count = frame.pixels.size();
            SCOPED_TRACE(testing::Message() << "round " << round << ", " << size[0] << "x" << size[1]);

            EXPECT_EQ(MapThroughWorkImage(frame, -1, 0), ReferenceMap(frame, -1));

            std::vector<std::uint8_t> materials(count);
            for (auto& id : materials) id = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 3)(random));
            frame.materialIds = materials;
            for (int id : {-1, 0, 2, 256}) {
                EXPECT_EQ(MapThroughWorkImage(frame, id, CHANNEL_MATERIAL_ID), ReferenceMap(frame, id)) << id;
            }

            frame.materialIds.reset();
            std::vector<std::uint16_t> objects(count);
            for (auto& id : objects) id = static_cast<std::uint16_t>(std::uniform_int_distribution<int>(0, 2)(random) * 32767);
            frame.objectIds = objects;
            for (int id : {-1, 0, 32767, 65534, 65536}) {
                EXPECT_EQ(MapThroughWorkImage(frame, id, CHANNEL_OBJECT_ID), ReferenceMap(frame, id)) << id;
            }
        }
    }
}

}  // namespace
