// A host calls the filter's and the descriptor's operations by their v-table position: these tests
// read the slot each operation occupies (Itanium C++ ABI, used by GCC on Linux and MinGW alike) and
// call some of them through the raw v-table, as a host would.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "deepglass_descriptor.h"
#include "deepglass_filter.h"

namespace {

// A pointer to a virtual member is {1 + byte offset of the slot, this-adjustment}.
template <typename Member>
std::ptrdiff_t Slot(Member member)
{
    struct Representation {
        std::uintptr_t pointer;
        std::ptrdiff_t adjustment;
    };
    static_assert(sizeof(Member) == sizeof(Representation));
    Representation rep;
    std::memcpy(&rep, &member, sizeof rep);
    EXPECT_EQ(rep.pointer & 1u, 1u) << "not a virtual operation";
    return static_cast<std::ptrdiff_t>((rep.pointer - 1) / sizeof(void*));
}

template <typename Fn, typename Object>
Fn SlotFunction(Object* object, std::ptrdiff_t slot)
{
    void** vtable = *reinterpret_cast<void***>(object);
    return reinterpret_cast<Fn>(vtable[slot]);
}

TEST(VtableOrder, FilterOperationsStandInTheHostsOrder)
{
    using F = DeepglassFilter;
    // Slots 0 and 1 are the virtual destructor (complete and deleting).
    EXPECT_EQ(Slot(&F::ProductName), 2);
    EXPECT_EQ(Slot(&F::AuthorLine), 3);
    EXPECT_EQ(Slot(&F::RightsNotice), 4);
    EXPECT_EQ(Slot(&F::VersionWord), 5);
    EXPECT_EQ(Slot(&F::CapabilityFlags), 6);
    EXPECT_EQ(Slot(&F::DisplayAbout), 7);
    EXPECT_EQ(Slot(&F::ShowControl), 8);
    EXPECT_EQ(Slot(&F::SetSource), 9);
    EXPECT_EQ(Slot(&F::SetForeground), 10);
    EXPECT_EQ(Slot(&F::SetMask), 11);
    EXPECT_EQ(Slot(&F::SetFilterInfo), 12);
    EXPECT_EQ(Slot(&F::Render), 13);
    EXPECT_EQ(Slot(&F::HostInterface), 14);
    EXPECT_EQ(Slot(static_cast<int (ImageFilter::*)(int, int, float)>(&F::Lerp)), 15);
    EXPECT_EQ(Slot(static_cast<int (ImageFilter::*)(int, int, int)>(&F::Lerp)), 16);
    EXPECT_EQ(Slot(&F::EvaluateConfigure), 17);
    EXPECT_EQ(Slot(&F::LoadConfigure), 18);
    EXPECT_EQ(Slot(&F::SaveConfigure), 19);
    EXPECT_EQ(Slot(&F::CreatePreview), 20);
    EXPECT_EQ(Slot(&F::ChannelsRequired), 21);
}

class ObservedFilter : public DeepglassFilter {
public:
    explicit ObservedFilter(bool& destroyed) : destroyed(destroyed) {}
    ~ObservedFilter() override { destroyed = true; }

private:
    bool& destroyed;
};

TEST(VtableOrder, FilterAnswersWhenCalledByPosition)
{
    ImageFilter* filter = new DeepglassFilter();
    EXPECT_STREQ(SlotFunction<const char* (*)(ImageFilter*)>(filter, 2)(filter), "Deepglass");
    EXPECT_EQ(SlotFunction<std::uint32_t (*)(ImageFilter*)>(filter, 5)(filter), 0x5E7601D7u);
    EXPECT_EQ(SlotFunction<std::uint32_t (*)(ImageFilter*)>(filter, 6)(filter), 6u);
    EXPECT_EQ(SlotFunction<std::uint32_t (*)(ImageFilter*)>(filter, 17)(filter), 16u);
    EXPECT_EQ(SlotFunction<std::uint32_t (*)(ImageFilter*)>(filter, 21)(filter), CHANNEL_DEPTH);
    EXPECT_EQ(SlotFunction<int (*)(ImageFilter*, std::uint32_t)>(filter, 13)(filter, 0), 0); // no source
    delete filter;

    // Slot 1 destroys the object and frees it, as the host's delete does.
    bool destroyed = false;
    ImageFilter* observed = new ObservedFilter(destroyed);
    SlotFunction<void (*)(ImageFilter*)>(observed, 1)(observed);
    EXPECT_TRUE(destroyed);
}

TEST(VtableOrder, DescriptorOperationsStandInTheHostsOrder)
{
    using D = DeepglassDescriptor;
    EXPECT_EQ(Slot(&D::FlagQuery), 0);
    EXPECT_EQ(Slot(&D::Create), 1);
    EXPECT_EQ(Slot(&D::QueryA), 2);
    EXPECT_EQ(Slot(&D::QueryB), 3);
    EXPECT_EQ(Slot(&D::ClassName), 4);
    EXPECT_EQ(Slot(&D::SuperClassId), 5);
    EXPECT_EQ(Slot(&D::ClassId), 6);
    EXPECT_EQ(Slot(&D::Category), 7);
    EXPECT_EQ(Slot(&D::QueryC), 8);
    EXPECT_EQ(Slot(&D::QueryD), 9);
    EXPECT_EQ(Slot(&D::NoticeA), 10);
    EXPECT_EQ(Slot(&D::NoticeB), 11);
    EXPECT_EQ(Slot(&D::QueryE), 12);
    EXPECT_EQ(Slot(&D::QueryF), 13);
    EXPECT_EQ(Slot(&D::QueryG), 14);

    ClassDescriptor* descriptor = GetDeepglassDescriptor();
    EXPECT_EQ(SlotFunction<int (*)(ClassDescriptor*)>(descriptor, 0)(descriptor), 1);
    EXPECT_STREQ(SlotFunction<const char* (*)(ClassDescriptor*)>(descriptor, 4)(descriptor), "Deepglass");
    EXPECT_EQ(SlotFunction<std::uint32_t (*)(ClassDescriptor*)>(descriptor, 5)(descriptor), 0xE00u);
    EXPECT_STREQ(SlotFunction<const char* (*)(ClassDescriptor*)>(descriptor, 7)(descriptor), "Image Filter");
    EXPECT_EQ(SlotFunction<int (*)(ClassDescriptor*, std::uint32_t)>(descriptor, 8)(descriptor, 9), 1);
}

} // namespace
