// The module's four exports, by plain name (ordinals 1 to 4 on Windows): all the host ever
// resolves in it.
#pragma once

#include <cstdint>

#include "class_descriptor.h"

#ifdef _WIN32
#define MODULE_EXPORT
#else
#define MODULE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
MODULE_EXPORT const char* LibDescription();
MODULE_EXPORT int LibNumberClasses();
// The descriptor of class `index`, or null for an index outside the registry.
MODULE_EXPORT ClassDescriptor* LibClassDesc(int index);
MODULE_EXPORT std::uint32_t LibVersion();
}
