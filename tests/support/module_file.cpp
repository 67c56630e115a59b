#include "module_file.h"

#ifdef _WIN32
#include <malloc.h>
#include <windows.h>
#else
#include <malloc.h>
#include <unistd.h>

#include <climits>
#endif

std::string ModuleBesideExecutable()
{
#ifdef _WIN32
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string executable(path, length);
    return executable.substr(0, executable.find_last_of("\\/") + 1) + "KELDA.FLT";
#else
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    std::string executable(path, length > 0 ? static_cast<std::size_t>(length) : 0);
    return executable.substr(0, executable.find_last_of('/') + 1) + "KELDA.FLT";
#endif
}

std::size_t HeapBytesInUse()
{
#ifdef _WIN32
    // The C runtime's heap, which both the module's and the host's allocations come from.
    std::size_t used = 0;
    _HEAPINFO entry{};
    while (_heapwalk(&entry) == _HEAPOK) {
        if (entry._useflag == _USEDENTRY) used += entry._size;
    }
    return used;
#else
    return mallinfo2().uordblks;
#endif
}
