// The stand-in core library's two custom control classes, as its Windows parts share them.
#pragma once

#include <windows.h>

#include "core.h"

// The window class names that dialog templates name.
constexpr char CLASS_CUST_EDIT[] = "CustEdit";
constexpr char CLASS_SPINNER[] = "SpinnerControl";

// Sent by a CustEdit to the spinner it is attached to when the user has finished typing (Enter or
// focus loss): the spinner takes the field's text as its value, or shows its value again.
// lParam is the edit window.
constexpr UINT SPINNER_TAKE_EDIT_TEXT = WM_USER + 0x5A01;

// Registers the class for `instance`, so that dialogs created from that module find it. A class
// left registered by an earlier load with another window procedure is replaced.
bool RegisterCustEditClass(HINSTANCE instance);
bool RegisterSpinnerClass(HINSTANCE instance);

bool IsCustEditWindow(HWND window);
// The spinner a CustEdit passes its text to, or null; set by the spinner's AttachEdit.
HWND LinkedSpinner(HWND edit);
void LinkEditToSpinner(HWND edit, HWND spinner);

bool IsSpinnerWindow(HWND window);
// A new interface to a spinner window's value, or null when out of memory. It stays safe to call
// after the window is gone (it then does nothing and answers 0).
ISpinnerControl* NewSpinnerInterface(HWND spinner);
void DeleteSpinnerInterface(ISpinnerControl* spinner);
