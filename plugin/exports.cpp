#include "exports.h"

#include "class_registry.h"

const char* LibDescription() { return libraryDescription; }

int LibNumberClasses() { return classCount; }

ClassDescriptor* LibClassDesc(int index)
{
    if (index < 0 || index >= classCount) return nullptr;
    return classRegistry[index].getDescriptor();
}

std::uint32_t LibVersion() { return libraryVersion; }
