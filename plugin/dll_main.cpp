// The Windows library entry point: the platform's notification goes straight to the module's own
// entry work.
#include "module_entry.h"

namespace __gnu_cxx {
void __freeres(); // libstdc++'s own: releases its emergency exception pool
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    const BOOL result = ModuleEntry(instance, reason, reserved);
    // libstdc++ is linked in statically and allocates an emergency exception pool (about 73 KB) at
    // load, which it never frees: a host that unloads the module would lose it at every unload. At
    // process exit (reserved not null) the memory goes with the process.
    if (reason == MODULE_PROCESS_DETACH && reserved == nullptr) __gnu_cxx::__freeres();
    return result;
}
