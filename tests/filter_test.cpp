// The filter's identity, its stored configuration record and the channels it asks the host for.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "deepglass_descriptor.h"
#include "deepglass_filter.h"
#include "records.h"

namespace {

using Record = ConfigRecord;

Record Saved(DeepglassFilter& filter)
{
    Record bytes{};
    EXPECT_EQ(filter.SaveConfigure(bytes.data()), 1);
    return bytes;
}

const Record DEFAULT_RECORD = {0xD7, 0x01, 0x76, 0x5E, 0xF2, 0x03, 0x00, 0x00,
                               0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00};

TEST(FilterIdentity, AnswersTheModuleConstants)
{
    DeepglassFilter filter;
    EXPECT_STREQ(filter.ProductName(), "Deepglass");
    EXPECT_EQ(filter.ProductName(), GetDeepglassDescriptor()->ClassName()); // one buffer
    EXPECT_GT(std::strlen(filter.AuthorLine()), 0u);
    EXPECT_GT(std::strlen(filter.RightsNotice()), 0u);
    EXPECT_EQ(filter.VersionWord(), 0x5E7601D7u);
    EXPECT_EQ(filter.CapabilityFlags(), 6u);
    EXPECT_EQ(filter.EvaluateConfigure(), 16u);
}

TEST(FilterConfig, NewFilterSavesTheDefaultRecord)
{
    DeepglassFilter filter;
    EXPECT_EQ(Saved(filter), DEFAULT_RECORD);
    EXPECT_EQ(filter.ChannelsRequired(), CHANNEL_DEPTH);
    EXPECT_EQ(filter.SaveConfigure(nullptr), 0);
}

TEST(FilterConfig, RecordsWithAnotherTagOrNoRecordAreRefused)
{
    DeepglassFilter filter;
    Record zero{};
    EXPECT_EQ(filter.LoadConfigure(zero.data()), 0);
    Record otherBuild = MakeRecord(1012, 7, 3, 0x5E7601D8);
    EXPECT_EQ(filter.LoadConfigure(otherBuild.data()), 0);
    EXPECT_EQ(filter.LoadConfigure(nullptr), 0);
    EXPECT_EQ(Saved(filter), DEFAULT_RECORD);
}

TEST(FilterConfig, RecordsWithTheTagRoundTripUnchecked)
{
    DeepglassFilter filter;
    Record objectMode = MakeRecord(1012, 7, 3);
    EXPECT_EQ(filter.LoadConfigure(objectMode.data()), 1);
    EXPECT_EQ(filter.ChannelsRequired(), CHANNEL_DEPTH | CHANNEL_OBJECT_ID);
    EXPECT_EQ(Saved(filter), objectMode);
    EXPECT_EQ(filter.Config().objectId, 7);
    EXPECT_EQ(filter.Config().materialId, 3);

    Record materialMode = MakeRecord(1011, 1, 8);
    EXPECT_EQ(filter.LoadConfigure(materialMode.data()), 1);
    EXPECT_EQ(filter.ChannelsRequired(), CHANNEL_DEPTH | CHANNEL_MATERIAL_ID);

    // Only the control dialog bounds mode and IDs; a stored record is taken as it is.
    for (const Record& odd : {MakeRecord(0, 1, 1), MakeRecord(1013, 0, 200), MakeRecord(-1, -1, -1)}) {
        Record copy = odd;
        EXPECT_EQ(filter.LoadConfigure(copy.data()), 1);
        EXPECT_EQ(filter.ChannelsRequired(), CHANNEL_DEPTH);
        EXPECT_EQ(Saved(filter), odd);
    }

    // A record saved by one filter is accepted by any other.
    DeepglassFilter other;
    Record saved = Saved(filter);
    EXPECT_EQ(other.LoadConfigure(saved.data()), 1);
    EXPECT_EQ(Saved(other), saved);
}

#ifndef _WIN32
TEST(FilterDialogs, AnswerTheNoDialogResultWithoutAWindowSystem)
{
    DeepglassFilter filter;
    EXPECT_EQ(filter.ShowControl(nullptr), -1);
    EXPECT_EQ(filter.DisplayAbout(nullptr), -1);
    EXPECT_EQ(Saved(filter), DEFAULT_RECORD);
}
#endif

} // namespace
