// Module-wide state and the work of the library entry notification, kept apart from the
// platform's entry symbol so that tests can drive it directly.
#pragma once

#include "platform_types.h"

// The operating system's notification reasons.
constexpr DWORD MODULE_PROCESS_DETACH = 0;
constexpr DWORD MODULE_PROCESS_ATTACH = 1;
constexpr DWORD MODULE_THREAD_ATTACH = 2;
constexpr DWORD MODULE_THREAD_DETACH = 3;

// The module's instance handle: null until process attach; the dialogs load their templates from it.
extern HINSTANCE moduleInstance;
// 1 once the host's custom controls and the system's common controls are initialised.
extern int controlsInitialised;

// 1 for success; a process attach while already attached answers 0 and changes nothing.
BOOL ModuleEntry(HINSTANCE instance, DWORD reason, LPVOID reserved);
