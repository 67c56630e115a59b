// The host's core library: its custom controls (the CustEdit edit field and the SpinnerControl
// spinner) and a window helper. The dialog reaches a spinner only through ISpinnerControl, whose
// operations the host calls by position, so their order is part of the interface.
#pragma once

#include "host_api.h"
#include "platform_types.h"

class ISpinnerControl {
public:
    virtual float GetFloatValue() = 0;
    virtual int GetIntValue() = 0;
    virtual void SetFloatValue(float value, int notify) = 0;
    virtual void SetIntValue(int value, int notify) = 0;
    virtual void SetFloatLimits(float minimum, float maximum, int clampNow) = 0;
    virtual void SetIntLimits(int minimum, int maximum, int clampNow) = 0;
    virtual void SetStep(float step) = 0;
    virtual void AttachEdit(HWND edit, int kind) = 0;

protected:
    // Interfaces are handed out by GetISpinner and given back with ReleaseISpinner only.
    ~ISpinnerControl() = default;
};

// Makes the CustEdit and SpinnerControl window classes usable in the dialogs of module `instance`.
HOST_CORE_API void InitCustomControls(HINSTANCE instance);
// The spinner interface of a SpinnerControl window, or null when the window is none.
HOST_CORE_API ISpinnerControl* GetISpinner(HWND spinner);
HOST_CORE_API void ReleaseISpinner(ISpinnerControl* spinner);
// Places `window` centred over `over`.
HOST_CORE_API void CenterWindow(HWND window, HWND over);
