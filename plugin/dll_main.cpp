// The Windows library entry point: the platform's notification goes straight to the module's own
// entry work.
#include "module_entry.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    return ModuleEntry(instance, reason, reserved);
}
