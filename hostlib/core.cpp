// The stand-in core library where there is no window system: the custom controls only record
// their initialisation, and no spinner can exist.
#include "core.h"
#include "core_record.h"

namespace {
int initCount = 0;
HINSTANCE initInstance = nullptr;
} // namespace

void InitCustomControls(HINSTANCE instance)
{
    ++initCount;
    initInstance = instance;
}

ISpinnerControl* GetISpinner(HWND) { return nullptr; }

void ReleaseISpinner(ISpinnerControl*) {}

void CenterWindow(HWND, HWND) {}

int CustomControlsInitCount() { return initCount; }

HINSTANCE CustomControlsInstance() { return initInstance; }

int LiveSpinnerCount() { return 0; }
