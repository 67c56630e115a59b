// The working image's traffic with the host: which calls, with which arguments, in which order, and
// what it hands the mapping.
#include <gtest/gtest.h>

#include <utility>

#include "frames.h"
#include "work_image.h"

namespace {

TEST(WorkImage, ReadsEveryRowOnceInAscendingOrderAndWritesThemAllBack)
{
    const ReferenceFrame frame = MakeFrame(5, 3, {});
    auto storage = MakeStorage(frame);
    Bitmap bitmap(storage.get());
    {
        WorkImage image(&bitmap);
        EXPECT_TRUE(image.IsComplete());
        EXPECT_EQ(CallsOf(*storage), RowCalls(HostCallKind::ReadPixels, 5, 3));

        storage->ClearCalls();
        std::fill_n(storage->Pixels(), 15, BMM_Color_64{1, 2, 3, 4});
        EXPECT_TRUE(image.WriteBack());
        EXPECT_EQ(CallsOf(*storage), RowCalls(HostCallKind::PutPixels, 5, 3));
        EXPECT_EQ(PixelsOf(*storage), frame.pixels); // unchanged pixels are rewritten as read
    }
}

TEST(WorkImage, OnePixelFrameIsOneCallEachWay)
{
    auto storage = MakeStorage(MakeFrame(1, 1, {-1.0f}));
    Bitmap bitmap(storage.get());
    WorkImage image(&bitmap);
    image.WriteBack();
    EXPECT_EQ(CallsOf(*storage), (std::vector<HostCall>{{HostCallKind::ReadPixels, 0, 0, 1, 0},
                                                        {HostCallKind::PutPixels, 0, 0, 1, 0}}));
}

TEST(WorkImage, BitmapWithoutStorageIsEmptyAndHasNoChannels)
{
    Bitmap bitmap(nullptr);
    WorkImage image(&bitmap);
    EXPECT_EQ(image.LoadedChannels().count, 0u);
    EXPECT_TRUE(image.IsComplete());
    EXPECT_EQ(image.LoadChannel(CHANNEL_DEPTH), 0);
    EXPECT_EQ(image.LoadedChannels().depth, nullptr);
    EXPECT_TRUE(image.WriteBack()); // no rows to write
}

TEST(WorkImage, LoadChannelRecordsEveryBitButQueriesOnlyKnownOnes)
{
    ReferenceFrame frame = MakeFrame(2, 2, {});
    frame.objectIds = std::vector<std::uint16_t>{1, 2, 3, 4};
    auto storage = MakeStorage(frame);
    Bitmap bitmap(storage.get());
    WorkImage image(&bitmap);
    storage->ClearCalls();

    EXPECT_EQ(image.LoadChannel(3), 0);
    EXPECT_EQ(image.LoadedChannels().loaded, 3u);
    EXPECT_EQ(image.LoadChannel(0), 0);
    EXPECT_EQ(image.LoadChannel(8), 0);
    EXPECT_EQ(image.LoadedChannels().loaded, 11u);
    EXPECT_EQ(storage->CallCount(), 0u);
    EXPECT_EQ(image.LoadedChannels().depth, nullptr);

    EXPECT_EQ(image.LoadChannel(CHANNEL_MATERIAL_ID), 0); // the frame has none
    EXPECT_EQ(image.LoadedChannels().materialIds, nullptr);
    EXPECT_EQ(image.LoadedChannels().loaded, 11u);
    EXPECT_EQ(image.LoadChannel(CHANNEL_OBJECT_ID), 1);
    EXPECT_EQ(image.LoadedChannels().objectIds, storage->ObjectIds());
    EXPECT_EQ(image.LoadChannel(CHANNEL_DEPTH), 1);
    EXPECT_EQ(image.LoadedChannels().depth, storage->Depth());
    EXPECT_EQ(image.LoadedChannels().loaded, 15u);
    EXPECT_EQ(CallsOf(*storage), (std::vector<HostCall>{Query(CHANNEL_MATERIAL_ID), Query(CHANNEL_OBJECT_ID),
                                                        Query(CHANNEL_DEPTH)}));
}

TEST(WorkImage, RowThatIsNotDeliveredMakesTheImageIncomplete)
{
    auto storage = MakeStorage(MakeFrame(3, 4, {}));
    storage->FailReadPixelsCall(2);
    Bitmap bitmap(storage.get());
    WorkImage image(&bitmap);
    EXPECT_FALSE(image.IsComplete());
    EXPECT_EQ(CallsOf(*storage), RowCalls(HostCallKind::ReadPixels, 3, 4));
}

TEST(WorkImage, FailedPutPixelsIsReportedAndTheRemainingRowsAreStillWritten)
{
    const ReferenceFrame frame = MakeFrame(3, 4, {});
    auto storage = MakeStorage(frame);
    Bitmap bitmap(storage.get());
    WorkImage image(&bitmap);
    storage->FailPutPixelsCall(1);
    storage->ClearCalls();
    EXPECT_FALSE(image.WriteBack());
    EXPECT_EQ(CallsOf(*storage), RowCalls(HostCallKind::PutPixels, 3, 4));
}

// The write-back hands the mapping the channels as loaded: an ID channel asked for but absent
// still counts, so that its IDs (and no other channel's) read as 0.
TEST(WorkImage, WriteBackMapsEachRowWithTheChannelsAsLoaded)
{
    const ReferenceFrame plain = MakeFrame(3, 2, {-1.0f, -2.0f, -3.0f, -4.0f, -5.0f, -6.0f});
    ReferenceFrame frame = plain;
    frame.objectIds = std::vector<std::uint16_t>(6, 7);
    const std::pair<int, std::vector<BMM_Color_64>> cases[] = {{7, plain.pixels},
                                                               {0, ReferenceMap(plain, SELECT_ALL)}};
    for (const auto& [selection, expected] : cases) {
        auto storage = MakeStorage(frame);
        Bitmap bitmap(storage.get());
        WorkImage image(&bitmap);
        EXPECT_EQ(image.LoadChannel(CHANNEL_DEPTH), 1);
        EXPECT_EQ(image.LoadChannel(CHANNEL_OBJECT_ID), 1);
        EXPECT_EQ(image.LoadChannel(CHANNEL_MATERIAL_ID), 0);
        storage->ClearCalls();
        EXPECT_TRUE(image.WriteBack(GreyMapping(image.LoadedChannels(), selection)));
        EXPECT_EQ(CallsOf(*storage), RowCalls(HostCallKind::PutPixels, 3, 2));
        EXPECT_EQ(PixelsOf(*storage), expected) << selection;
    }
}

} // namespace
