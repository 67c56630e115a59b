// The stand-in core library on Windows: the CustEdit and SpinnerControl classes registered for the
// module that asks, spinner interfaces counted while they are out, and window centring.
#include <algorithm>
#include <vector>

#include "core.h"
#include "core_record.h"
#include "custom_controls.h"
#include "window_placement.h"

namespace {

int initCount = 0;
HINSTANCE initInstance = nullptr;
// Interfaces handed out and not yet given back. The host's user-interface thread is the only
// caller, as with every window operation.
std::vector<ISpinnerControl*> liveSpinners;

PlacementRect ToPlacement(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

} // namespace

void InitCustomControls(HINSTANCE instance)
{
    ++initCount;
    initInstance = instance;
    const HINSTANCE owner = instance != nullptr ? instance : GetModuleHandleA(nullptr);
    RegisterCustEditClass(owner);
    RegisterSpinnerClass(owner);
}

ISpinnerControl* GetISpinner(HWND spinner)
{
    if (!IsSpinnerWindow(spinner)) return nullptr;
    ISpinnerControl* control = NewSpinnerInterface(spinner);
    if (control != nullptr) liveSpinners.push_back(control);
    return control;
}

void ReleaseISpinner(ISpinnerControl* spinner)
{
    // Only interfaces that are out are given back, so a second release of one is harmless.
    const auto found = std::find(liveSpinners.begin(), liveSpinners.end(), spinner);
    if (found == liveSpinners.end()) return;
    liveSpinners.erase(found);
    DeleteSpinnerInterface(spinner);
}

void CenterWindow(HWND window, HWND over)
{
    if (window == nullptr || !IsWindow(window)) return;
    const bool overWindow = over != nullptr && IsWindow(over) && !IsIconic(over);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(overWindow ? over : window, MONITOR_DEFAULTTONEAREST), &monitor);

    RECT windowRect;
    RECT overRect = monitor.rcWork;
    GetWindowRect(window, &windowRect);
    if (overWindow) GetWindowRect(over, &overRect);
    const PlacementPoint corner =
        CentredPosition(ToPlacement(windowRect), ToPlacement(overRect), ToPlacement(monitor.rcWork));

    POINT position{corner.x, corner.y};
    if ((GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) != 0) ScreenToClient(GetParent(window), &position);
    SetWindowPos(window, nullptr, position.x, position.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CustomControlsInitCount() { return initCount; }

HINSTANCE CustomControlsInstance() { return initInstance; }

int LiveSpinnerCount() { return static_cast<int>(liveSpinners.size()); }
