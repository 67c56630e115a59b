// The module's one class descriptor: how the host learns of the Deepglass filter and makes one.
#pragma once

#include "class_descriptor.h"
#include "deepglass_interface.h"

constexpr ClassIdPair DEEPGLASS_CLASS_ID{CLASS_ID_A, CLASS_ID_B};

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
