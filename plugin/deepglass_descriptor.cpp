#include "deepglass_descriptor.h"

#include <new>

#include "deepglass_filter.h"
#include "identity.h"

namespace {
const char filterCategory[] = DEEPGLASS_CATEGORY;
DeepglassDescriptor deepglassDescriptor;
} // namespace

int DeepglassDescriptor::FlagQuery() { return 1; }

void* DeepglassDescriptor::Create(std::uint32_t)
{
    // A nothrow new-expression also gives the block back if construction should throw.
    ImageFilter* filter = new (std::nothrow) DeepglassFilter();
    return filter;
}

const char* DeepglassDescriptor::ClassName() { return productName; }

std::uint32_t DeepglassDescriptor::SuperClassId() { return FILTER_FAMILY; }

ClassIdPair DeepglassDescriptor::ClassId() { return DEEPGLASS_CLASS_ID; }

const char* DeepglassDescriptor::Category() { return filterCategory; }

DeepglassDescriptor* GetDeepglassDescriptor() { return &deepglassDescriptor; }
