// What the tool needs to know of the machine it runs on.
#pragma once

#include <cstdint>

// The cores to work on, at least 1.
unsigned Cores();
// The machine's physical memory in bytes; 0 when the machine does not say.
std::uint64_t PhysicalMemory();
