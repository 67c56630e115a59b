// The module's mapping against the plain reference on many random frames full of nasty values:
// through the working image's write-back as the render pass runs it, and in every instruction-set
// variant the processor can run, on widths that are no multiple of any vector width.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "frames.h"
#include "mapping_kernels.h"
#include "work_image.h"

// Names the variant in failure messages.
void PrintTo(const MappingKernels* kernels, std::ostream* out) { *out << kernels->name; }

namespace {

float NastyDepth(std::mt19937& random)
{
    static const std::vector<float> nasty = [] {
        std::vector<float> depths = {0.0f, -0.0f};
        depths.insert(depths.end(), EXTREME_DEPTHS.begin(), EXTREME_DEPTHS.end());
        // The host's background depth more often, a signalling NaN and a denormal above the smallest.
        depths.insert(depths.end(), {-1e30f, -1e30f, std::numeric_limits<float>::signaling_NaN(),
                                     std::numeric_limits<float>::denorm_min() * 3.0f});
        return depths;
    }();
    std::uniform_int_distribution<int> pick(0, 9);
    switch (pick(random)) {
    case 0: return nasty[std::uniform_int_distribution<std::size_t>(0, nasty.size() - 1)(random)];
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

const MappingKernels* const ALL_KERNELS[] = {&KERNELS_SSE2, &KERNELS_AVX2};

// Widths around every vector width, and a few large odd ones.
const int KERNEL_SIZES[][2] = {{0, 0},  {0, 5},  {5, 0},   {1, 1},  {1, 17}, {2, 3},  {3, 2},
                               {4, 1},  {5, 3},  {6, 1},   {7, 2},  {8, 2},  {9, 3},  {15, 1},
                               {16, 2}, {17, 3}, {23, 1},  {31, 2}, {32, 1}, {33, 2}, {47, 1},
                               {63, 2}, {65, 2}, {127, 1}, {257, 3}};

// IDs that sit on sign and width boundaries of the element types, mostly the wanted one.
template <typename Id>
std::vector<Id> RandomIds(std::mt19937& random, std::size_t count, const std::vector<Id>& values)
{
    std::vector<Id> ids(count);
    std::uniform_int_distribution<std::size_t> pick(0, values.size() - 1);
    for (Id& id : ids) id = values[pick(random)];
    return ids;
}

// The frame mapped by one variant, row by row as the write-back maps it, so that every row
// starts wherever the previous one ended, aligned or not.
template <typename Map>
std::vector<BMM_Color_64> MapRows(const ReferenceFrame& frame, const MappingKernels& kernels, Map map)
{
    std::vector<BMM_Color_64> pixels = frame.pixels;
    const DepthRange range = kernels.computeRange(frame.depth.data(), frame.depth.size());
    for (int y = 0; y < frame.height; ++y)
        map(pixels.data(), static_cast<std::size_t>(y) * frame.width, range);
    return pixels;
}

class KernelVariant : public testing::TestWithParam<const MappingKernels*> {
protected:
    void SetUp() override
    {
        if (!ProcessorRuns(*GetParam())) GTEST_SKIP() << "this processor cannot run " << GetParam()->name;
    }
};

INSTANTIATE_TEST_SUITE_P(Differential, KernelVariant, testing::ValuesIn(ALL_KERNELS),
                         [](const testing::TestParamInfo<const MappingKernels*>& info) {
                             return std::string(info.param->name);
                         });

TEST_P(KernelVariant, MatchesTheReferenceRowByRow)
{
    std::mt19937 random(7031);
    const MappingKernels* kernels = GetParam();
    for (int round = 0; round < 30; ++round) {
        for (const auto& size : KERNEL_SIZES) {
            ReferenceFrame frame = RandomFrame(random, size[0], size[1]);
            const std::size_t count = frame.pixels.size();
            const std::size_t width = static_cast<std::size_t>(size[0]);
            SCOPED_TRACE(testing::Message()
                         << kernels->name << ", round " << round << ", " << size[0] << "x" << size[1]);

            const DepthRange range = kernels->computeRange(frame.depth.data(), count);
            const DepthRange plain = ComputeDepthRange(frame.depth.data(), count);
            EXPECT_EQ(range.minDepth, plain.minDepth);
            EXPECT_EQ(range.maxDepth, plain.maxDepth);
            EXPECT_EQ(range.depthRange, plain.depthRange);

            const float* depth = frame.depth.data();
            EXPECT_EQ(MapRows(frame, *kernels,
                              [&](BMM_Color_64* pixels, std::size_t first, DepthRange r) {
                                  kernels->mapAll(pixels + first, depth + first, width, r);
                              }),
                      ReferenceMap(frame, -1));

            const auto materials = RandomIds<std::uint8_t>(random, count, {0, 1, 127, 128, 255, 255, 255});
            frame.materialIds = materials;
            for (std::uint8_t wanted : {0, 128, 255}) {
                EXPECT_EQ(MapRows(frame, *kernels,
                                  [&](BMM_Color_64* pixels, std::size_t first, DepthRange r) {
                                      kernels->mapMaterial(pixels + first, depth + first,
                                                           materials.data() + first, width, r, wanted);
                                  }),
                          ReferenceMap(frame, wanted))
                    << "material " << int{wanted};
            }

            frame.materialIds.reset();
            const auto objects =
                RandomIds<std::uint16_t>(random, count, {0, 255, 256, 32767, 32768, 65535, 65535, 65535});
            frame.objectIds = objects;
            for (std::uint16_t wanted : {0, 256, 32768, 65535}) {
                EXPECT_EQ(MapRows(frame, *kernels,
                                  [&](BMM_Color_64* pixels, std::size_t first, DepthRange r) {
                                      kernels->mapObject(pixels + first, depth + first,
                                                         objects.data() + first, width, r, wanted);
                                  }),
                          ReferenceMap(frame, wanted))
                    << "object " << wanted;
            }
        }
    }
}

// Frames whose range comes from a single pixel placed anywhere, or from none: each vector lane
// and each tail position must be able to hold the minimum and the maximum.
TEST_P(KernelVariant, FindsTheRangeInAnyPosition)
{
    const MappingKernels* kernels = GetParam();
    for (std::size_t count : {1u, 7u, 8u, 15u, 16u, 17u, 40u}) {
        for (std::size_t at = 0; at < count; ++at) {
            SCOPED_TRACE(testing::Message() << kernels->name << ", " << at << " of " << count);
            std::vector<float> depth(count, -1e30f);
            EXPECT_EQ(kernels->computeRange(depth.data(), count).depthRange, -1e20f);
            depth[at] = -7.0f;
            const DepthRange one = kernels->computeRange(depth.data(), count);
            EXPECT_EQ(one.minDepth, 7.0f);
            EXPECT_EQ(one.maxDepth, 7.0f);
            std::fill(depth.begin(), depth.end(), -5.0f);
            depth[at] = std::nextafter(1e20f, 0.0f);
            EXPECT_EQ(kernels->computeRange(depth.data(), count).maxDepth, depth[at]);
            depth[at] = -0.5f;
            const DepthRange near = kernels->computeRange(depth.data(), count);
            EXPECT_EQ(near.minDepth, 0.5f);
            EXPECT_EQ(near.maxDepth, count > 1 ? 5.0f : 0.5f);
        }
    }
}

// The render pass maps each row inside the write-back: the frame it hands back must be the
// reference's, with the host calls of a plain copy in and out, for every ID channel and selection.
TEST(Differential, WriteBackMapsLikeTheReference)
{
    struct Case {
        std::uint32_t idChannel;
        std::vector<int> selections;
    };
    const Case cases[] = {{0, {-1, 0, 3}},
                          {CHANNEL_MATERIAL_ID, {-1, 0, 2, 256}},
                          {CHANNEL_OBJECT_ID, {-1, 0, 32767, 65534, 65536}}};
    std::mt19937 random(20261208);
    for (int round = 0; round < 30; ++round) {
        for (const auto& size : KERNEL_SIZES) {
            ReferenceFrame frame = RandomFrame(random, size[0], size[1]);
            const std::size_t count = frame.pixels.size();
            const auto materials = RandomIds<std::uint8_t>(random, count, {0, 1, 2, 3});
            const auto objects = RandomIds<std::uint16_t>(random, count, {0, 32767, 65534});
            SCOPED_TRACE(testing::Message() << "round " << round << ", " << size[0] << "x" << size[1]);
            for (const Case& c : cases) {
                // The host has both ID channels; the image loads the one asked for.
                frame.materialIds = materials;
                frame.objectIds = objects;
                ReferenceFrame loaded = frame;
                if (c.idChannel != CHANNEL_MATERIAL_ID) loaded.materialIds.reset();
                if (c.idChannel != CHANNEL_OBJECT_ID) loaded.objectIds.reset();
                std::vector<HostCall> calls{Query(CHANNEL_DEPTH)};
                if (c.idChannel != 0) calls.push_back(Query(c.idChannel));
                const auto puts = RowCalls(HostCallKind::PutPixels, size[0], size[1]);
                calls.insert(calls.end(), puts.begin(), puts.end());
                for (int selection : c.selections) {
                    auto storage = MakeStorage(frame);
                    Bitmap bitmap(storage.get());
                    WorkImage image(&bitmap);
                    storage->ClearCalls();
                    image.LoadChannel(CHANNEL_DEPTH);
                    if (c.idChannel != 0) image.LoadChannel(c.idChannel);
                    EXPECT_TRUE(image.WriteBack(GreyMapping(image.LoadedChannels(), selection)));
                    EXPECT_EQ(PixelsOf(*storage), ReferenceMap(loaded, selection))
                        << "channel " << c.idChannel << ", selection " << selection;
                    EXPECT_EQ(CallsOf(*storage), calls);
                }
            }
        }
    }
}

} // namespace
