#include "module_entry.h"

#include "core.h"

#ifdef _WIN32
#include <commctrl.h>
#endif

HINSTANCE moduleInstance = nullptr;
int controlsInitialised = 0;

namespace {

void InitCommonControlsOfPlatform()
{
#ifdef _WIN32
    InitCommonControls();
#endif
}

} // namespace

BOOL ModuleEntry(HINSTANCE instance, DWORD reason, LPVOID)
{
    switch (reason) {
    case MODULE_PROCESS_ATTACH:
        if (moduleInstance != nullptr) return 0;
        moduleInstance = instance;
        if (controlsInitialised == 0) {
            controlsInitialised = 1;
            InitCustomControls(moduleInstance);
            InitCommonControlsOfPlatform();
        }
        return 1;
    case MODULE_PROCESS_DETACH:
        moduleInstance = nullptr;
        controlsInitialised = 0;
        return 1;
    default: return 1;
    }
}
