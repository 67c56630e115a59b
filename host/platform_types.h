// The platform's handle and message types. On Windows they come from the system headers; elsewhere
// the few the host interface names are declared here so the same declarations build on Linux.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>

using HWND = struct HWND__*;
using HINSTANCE = struct HINSTANCE__*;
using UINT = unsigned int;
using BOOL = int;
using DWORD = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using INT_PTR = std::intptr_t;
using LPVOID = void*;
#endif
