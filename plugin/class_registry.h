// The classes the module offers, the library's description and its version, as the exports
// hand them to the host.
#pragma once

#include <cstdint>

#include "class_descriptor.h"
#include "deepglass_interface.h"

struct ClassRegistryRow {
    char className[256];
    ClassDescriptor* (*getDescriptor)();
};

extern const ClassRegistryRow classRegistry[];
extern const int classCount;
extern const char libraryDescription[256];
