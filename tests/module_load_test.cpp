// The built module file, loaded as a host loads it: through its four exports only.
#include <gtest/gtest.h>

#include <cstring>

#include "frames.h"
#include "image_filter.h"
#include "module_file.h"
#include "module_loader.h"
#include "records.h"

namespace {

class LoadedModuleTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        module = LoadedModule::Load(ModuleBesideExecutable(), error);
        ASSERT_NE(module, nullptr) << error;
    }

    ImageFilter* CreateFilter() { return static_cast<ImageFilter*>(module->LibClassDesc(0)->Create(0)); }

    std::unique_ptr<LoadedModule> module;
};

TEST_F(LoadedModuleTest, ExportsAnswerAsTheHostExpects)
{
    EXPECT_EQ(module->LibNumberClasses(), 1);
    EXPECT_EQ(module->LibVersion(), 110u);
    EXPECT_EQ(std::strncmp(module->LibDescription(), "Deepglass, ", 11), 0);
    ClassDescriptor* descriptor = module->LibClassDesc(0);
    ASSERT_NE(descriptor, nullptr);
    EXPECT_EQ(module->LibClassDesc(1), nullptr);
    EXPECT_EQ(module->LibClassDesc(-1), nullptr);
    EXPECT_STREQ(descriptor->ClassName(), "Deepglass");
    EXPECT_EQ(descriptor->SuperClassId(), 0xE00u);
    EXPECT_EQ(descriptor->ClassId().b, 0x19B756BEu);
    EXPECT_STREQ(descriptor->Category(), "Image Filter");
#ifdef _WIN32
    // The same four functions by ordinal.
    EXPECT_EQ(module->ExportByOrdinal(1), reinterpret_cast<void*>(module->LibDescription));
    EXPECT_EQ(module->ExportByOrdinal(2), reinterpret_cast<void*>(module->LibNumberClasses));
    EXPECT_EQ(module->ExportByOrdinal(3), reinterpret_cast<void*>(module->LibClassDesc));
    EXPECT_EQ(module->ExportByOrdinal(4), reinterpret_cast<void*>(module->LibVersion));
    EXPECT_EQ(module->ExportByOrdinal(5), nullptr);
#endif
}

TEST_F(LoadedModuleTest, FiltersRenderAndTravelThroughTheirRecords)
{
    ReferenceFrame frame = MakeFrame(3, 2, {-10, -20, -30, -1e30f, -15, -25});
    frame.objectIds = std::vector<std::uint16_t>{4, 4, 5, 0, 4, 5};
    auto storage = MakeStorage(frame);
    Bitmap bitmap(storage.get());

    ImageFilter* first = CreateFilter();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->ProductName(), module->LibClassDesc(0)->ClassName());
    ConfigRecord record = MakeRecord(1012, 4, 1);
    ASSERT_EQ(first->LoadConfigure(record.data()), 1);
    EXPECT_EQ(first->ChannelsRequired(), CHANNEL_DEPTH | CHANNEL_OBJECT_ID);

    ImageFilter* second = CreateFilter();
    ASSERT_EQ(second->LoadConfigure(record.data()), 1);
    delete first;

    second->SetSource(&bitmap);
    EXPECT_EQ(second->Render(0), 1);
    EXPECT_EQ(PixelsOf(*storage), ReferenceMap(frame, 4));
    delete second;
}

} // namespace
