#include "class_registry.h"

#include "deepglass_descriptor.h"

namespace {
ClassDescriptor* DeepglassDescriptorRow() { return GetDeepglassDescriptor(); }
}  // namespace

const ClassRegistryRow classRegistry[] = {
    {"Deepglass", DeepglassDescriptorRow},
};
const int classCount = sizeof(classRegistry) / sizeof(classRegistry[0]);
const char libraryDescription[256] = "Deepglass, Copyright (c) 2026 Deepglass developers";
