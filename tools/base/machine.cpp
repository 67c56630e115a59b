#include "base/machine.h"

#include <unistd.h>

#include <algorithm>
#include <thread>

unsigned Cores() { return std::max(1u, std::thread::hardware_concurrency()); }

std::uint64_t PhysicalMemory()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0
               ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize)
               : 0;
}
