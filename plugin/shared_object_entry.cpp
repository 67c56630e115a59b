// On Linux the loader has no entry notification: the same work runs when the shared object is
// loaded and unloaded. The module's base address stands in for the instance handle.
#include <dlfcn.h>

#include "module_entry.h"

namespace {

HINSTANCE OwnBaseAddress()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OwnBaseAddress), &info) == 0) return nullptr;
    return static_cast<HINSTANCE>(info.dli_fbase);
}

__attribute__((constructor)) void OnLoad() { ModuleEntry(OwnBaseAddress(), MODULE_PROCESS_ATTACH, nullptr); }

__attribute__((destructor)) void OnUnload() { ModuleEntry(nullptr, MODULE_PROCESS_DETACH, nullptr); }

} // namespace
