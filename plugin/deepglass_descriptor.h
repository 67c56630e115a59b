// The module's one class descriptor: how the host learns of the Deepglass filter and makes one.
#pragma once

#include "class_descriptor.h"

// The host files the class under this family and finds it by this id in saved scenes.
constexpr std::uint32_t FILTER_FAMILY = 0xE00;
constexpr ClassIdPair DEEPGLASS_CLASS_ID{0x5E7601D7, 0x19B756BE};
extern const char filterCategory[];

class DeepglassDescriptor : public ClassDescriptor {
public:
    int FlagQuery() override;
    // A new filter with default settings, or null when no memory can be had. It belongs to the
    // host, which destroys it through its virtual destructor.
    void* Create(std::uint32_t value) override;
    const char* ClassName() override;
    std::uint32_t SuperClassId() override;
    ClassIdPair ClassId() override;
    const char* Category() override;
};

DeepglassDescriptor* GetDeepglassDescriptor();
