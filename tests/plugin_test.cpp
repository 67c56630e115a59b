// The module's entry work, its four exports and its class descriptor, called directly.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "allocation_failure.h"
#include "class_registry.h"
#include "core_record.h"
#include "deepglass_descriptor.h"
#include "deepglass_filter.h"
#include "exports.h"
#include "module_entry.h"
#include "records.h"

namespace {

TEST(Exports, AnswerTheRegistry)
{
    EXPECT_EQ(LibNumberClasses(), 1);
    EXPECT_EQ(LibVersion(), 110u);
    EXPECT_STREQ(LibDescription(), "Deepglass, Copyright (c) 2026 Deepglass developers");
    EXPECT_EQ(LibClassDesc(0), GetDeepglassDescriptor());
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

TEST(Descriptor, AnswersItsConstants)
{
    ClassDescriptor* descriptor = GetDeepglassDescriptor();
    EXPECT_EQ(descriptor->FlagQuery(), 1);
    EXPECT_STREQ(descriptor->ClassName(), "Deepglass");
    EXPECT_EQ(descriptor->SuperClassId(), 3584u);
    EXPECT_STREQ(descriptor->Category(), "Image Filter");
    const ClassIdPair id = descriptor->ClassId();
    EXPECT_EQ(id.a, 0x5E7601D7u);
    EXPECT_EQ(id.b, 0x19B756BEu);
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

    ConfigRecord defaults{}, record{};
    ASSERT_EQ(first->SaveConfigure(defaults.data()), 1);
    EXPECT_EQ(ReadRecord(defaults).mode, 1010);
    ASSERT_EQ(second->SaveConfigure(record.data()), 1);
    EXPECT_EQ(defaults, record);

    record = MakeRecord(1012, 9, 1);
    ASSERT_EQ(second->LoadConfigure(record.data()), 1);
    first.reset();
    ConfigRecord after{};
    ASSERT_EQ(second->SaveConfigure(after.data()), 1);
    EXPECT_EQ(after, record);
}

TEST(Descriptor, CreateAnswersNullWhenMemoryRunsOut)
{
    ClassDescriptor* descriptor = GetDeepglassDescriptor();
    void* refused = nullptr;
    {
        AllocationsFail failing;
        refused = descriptor->Create(0); // no exception may reach the host
        EXPECT_EQ(failing.Refused(), 1u);
    }
    EXPECT_EQ(refused, nullptr);
    // With memory back, filters are made again.
    std::unique_ptr<ImageFilter> made(static_cast<ImageFilter*>(descriptor->Create(0)));
    EXPECT_NE(made, nullptr);
}

} // namespace
