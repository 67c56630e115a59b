// Where the tests find the built module file and how much heap memory the process holds.
#pragma once

#include <cstddef>
#include <string>

// KELDA.FLT in the folder of the running test program, where the build puts it.
std::string ModuleBesideExecutable();

// Bytes of heap memory in use by the whole process (module and host alike).
std::size_t HeapBytesInUse();
