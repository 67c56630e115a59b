// The module-level dialog procedures, handed to the platform when a dialog starts.
#pragma once

#include <windows.h>

// Forwards each message to the filter whose control dialog is open (one at a time in the module).
INT_PTR CALLBACK ControlDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
