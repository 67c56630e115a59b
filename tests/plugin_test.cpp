// The module's entry work, its four exports and its class descriptor, called directly.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "class_registry.h"
#include "core_record.h"
#include "deepglass_descriptor.h"
#include "deepglass_filter.h"
#include "exports.h"
#include "module_entry.h"

namespace {

TEST(Exports, AnswerTheRegistry)
{
    EXPECT_EQ(LibNumberClasses(), 1);
    EXPECT_EQ(LibVersion(), 110u);
    EXPECT_EQ(std::strncmp(LibDescription(), "Deepglass, ", 11), 0);
    EXPECT_EQ(LibDescription(), LibDescription());
    ClassDescriptor* first = LibClassDesc(0);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(first, LibClassDesc(0));
    EXPECT_EQ(first, GetDeepglassDescriptor());
    for (int index : {1, -1, 2, 1 << 30, -(1 << 30)}) EXPECT_EQ(LibClassDesc(index), nullptr) << index;
    EXPECT_STREQ(classRegistry[0].className, "Deepglass");
}

TEST(ModuleEntry, AttachOnceInitialisesControlsAndRefusesASecondAttach)
{
    const auto instance = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x10000));
    const int initsBefore = CustomControlsInitCount();
    ASSERT_EQ(moduleInstance, nullptr);

    EXPECT_EQ(ModuleEntry(instance, MODULE_PROCESS_ATTACH, nullptr), 1);
    EXPECT_EQ(moduleInstance, instance);
    EXPECT_EQ(controlsInitialised, 1);
    EXPECT_EQ(CustomControlsInitCount(), initsBefore + 1);
    EXPECT_EQ(CustomControlsInstance(), instance);

    const auto other = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x20000));
    EXPECT_EQ(ModuleEntry(other, MODULE_PROCESS_ATTACH, nullptr), 0);
    EXPECT_EQ(moduleInstance, instance);
    EXPECT_EQ(CustomControlsInitCount(), initsBefore + 1);

    for (DWORD reason : {MODULE_THREAD_ATTACH, MODULE_THREAD_DETACH, DWORD{7}}) {
        EXPECT_EQ(ModuleEntry(other, reason, nullptr), 1);
        EXPECT_EQ(moduleInstance, instance);
        EXPECT_EQ(controlsInitialised, 1);
    }

    EXPECT_EQ(ModuleEntry(instance, MODULE_PROCESS_DETACH, nullptr), 1);
    EXPECT_EQ(moduleInstance, nullptr);
    EXPECT_EQ(controlsInitialised, 0);

    EXPECT_EQ(ModuleEntry(other, MODULE_PROCESS_ATTACH, nullptr), 1);
    EXPECT_EQ(moduleInstance, other);
    EXPECT_EQ(CustomControlsInitCount(), initsBefore + 2);
    EXPECT_EQ(CustomControlsInstance(), other);
    EXPECT_EQ(ModuleEntry(other, MODULE_PROCESS_DETACH, nullptr), 1);
}

TEST(Descriptor, AnswersItsConstantsForAnyArgument)
{
    ClassDescriptor* descriptor = GetDeepglassDescriptor();
    EXPECT_EQ(descriptor->FlagQuery(), 1);
    EXPECT_STREQ(descriptor->ClassName(), "Deepglass");
    EXPECT_EQ(descriptor->SuperClassId(), 3584u);
    EXPECT_STREQ(descriptor->Category(), "Image Filter");
    for (int call = 0; call < 2; ++call) {
        const ClassIdPair id = descriptor->ClassId();
        EXPECT_EQ(id.a, 0x5E7601D7u);
        EXPECT_EQ(id.b, 0x19B756BEu);
    }
    for (std::uint32_t value : {0u, 1u, 0xFFFFFFFFu, 0x80000000u}) {
        EXPECT_EQ(descriptor->QueryA(value), 0);
        EXPECT_EQ(descriptor->QueryB(value), 0);
        EXPECT_EQ(descriptor->QueryC(value), 1);
        EXPECT_EQ(descriptor->QueryF(value), 0);
        EXPECT_EQ(descriptor->QueryG(value), 0);
        descriptor->NoticeA(value);
        descriptor->NoticeB(value);
    }
    EXPECT_EQ(descriptor->QueryD(), 0);
    EXPECT_EQ(descriptor->QueryE(), 0);
}

TEST(Descriptor, CreateGivesIndependentDefaultFilters)
{
    ClassDescriptor* descriptor = GetDeepglassDescriptor();
    std::unique_ptr<ImageFilter> first(static_cast<ImageFilter*>(descriptor->Create(0)));
    std::unique_ptr<ImageFilter> second(static_cast<ImageFilter*>(descriptor->Create(0xFFFFFFFF)));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first.get(), second.get());
    EXPECT_EQ(first->ProductName(), descriptor->ClassName());

    unsigned char defaults[16];
    unsigned char record[16];
    ASSERT_EQ(first->SaveConfigure(defaults), 1);
    EXPECT_EQ(defaults[4], 0xF2);
    ASSERT_EQ(second->SaveConfigure(record), 1);
    EXPECT_EQ(std::memcmp(defaults, record, 16), 0);

    record[4] = 0xF4; // mode 1012
    record[8] = 9;    // object ID 9
    ASSERT_EQ(second->LoadConfigure(record), 1);
    first.reset();
    unsigned char after[16];
    ASSERT_EQ(second->SaveConfigure(after), 1);
    EXPECT_EQ(std::memcmp(after, record, 16), 0);
}

} // namespace
