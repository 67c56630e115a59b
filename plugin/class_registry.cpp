#include "class_registry.h"

#include "deepglass_descriptor.h"

namespace {
ClassDescriptor* DeepglassDescriptorRow() { return GetDeepglassDescriptor(); }
} // namespace

const ClassRegistryRow classRegistry[] = {
    {DEEPGLASS_PRODUCT_NAME, DeepglassDescriptorRow},
};
const int classCount = sizeof(classRegistry) / sizeof(classRegistry[0]);
const char libraryDescription[256] = DEEPGLASS_PRODUCT_NAME ", " DEEPGLASS_RIGHTS;
