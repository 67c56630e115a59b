// SpinnerControl: the host's up/down spinner. A click on the upper or lower half steps the value;
// holding repeats, and dragging up or down moves it by the distance dragged. The value lives in
// the window and is shown in the attached CustEdit; interfaces from GetISpinner reach it by window.
#include <windowsx.h>

#include <cstdio>
#include <limits>
#include <new>
#include <string>

#include "custom_controls.h"
#include "spinner_value.h"

namespace {

constexpr UINT_PTR TIMER_REPEAT = 1;
constexpr UINT REPEAT_DELAY_MS = 400;
constexpr UINT REPEAT_INTERVAL_MS = 50;
constexpr int DRAG_THRESHOLD_PIXELS = 3;
constexpr int DRAG_PIXELS_PER_STEP = 2;

struct SpinnerState {
    int value = 0;
    SpinnerLimits limits{std::numeric_limits<int>::min(), std::numeric_limits<int>::max()};
    int step = 1;
    HWND edit = nullptr;
    int heldDirection = 0; // +1 while the upper half is held, -1 the lower, 0 when not pressed
    bool dragging = false;
    int pressY = 0;
    int pressValue = 0;
};

SpinnerState* StateOf(HWND spinner) { return reinterpret_cast<SpinnerState*>(GetWindowLongPtrA(spinner, 0)); }

void ShowValue(const SpinnerState& state)
{
    if (state.edit == nullptr || !IsWindow(state.edit)) return;
    char text[16];
    std::snprintf(text, sizeof text, "%d", state.value);
    SetWindowTextA(state.edit, text);
}

void SetValue(SpinnerState& state, int value)
{
    state.value = value;
    ShowValue(state);
}

// The attached field's text becomes the value when it is a whole number (kept within the limits);
// any other text is replaced by the value as it was.
void TakeEditText(SpinnerState& state)
{
    if (state.edit == nullptr || !IsWindow(state.edit)) return;
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(state.edit)) + 1, '\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextA(state.edit, text.data(), static_cast<int>(text.size()))));
    const auto typed = ParseWholeNumber(text);
    SetValue(state, typed ? ClampToLimits(*typed, state.limits) : state.value);
}

void EndPress(HWND spinner, SpinnerState& state)
{
    KillTimer(spinner, TIMER_REPEAT);
    state.heldDirection = 0;
    state.dragging = false;
    InvalidateRect(spinner, nullptr, FALSE);
}

void Paint(HWND spinner, const SpinnerState& state)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(spinner, &paint);
    RECT client;
    GetClientRect(spinner, &client);
    const LONG middle = client.bottom / 2;
    RECT upper{0, 0, client.right, middle};
    RECT lower{0, middle, client.right, client.bottom};
    const UINT inactive = IsWindowEnabled(spinner) ? 0 : DFCS_INACTIVE;
    const bool clicking = !state.dragging;
    DrawFrameControl(dc, &upper, DFC_SCROLL,
                     DFCS_SCROLLUP | inactive | (clicking && state.heldDirection > 0 ? DFCS_PUSHED : 0));
    DrawFrameControl(dc, &lower, DFC_SCROLL,
                     DFCS_SCROLLDOWN | inactive | (clicking && state.heldDirection < 0 ? DFCS_PUSHED : 0));
    if (GetFocus() == spinner) {
        RECT focus = client;
        InflateRect(&focus, -2, -2);
        DrawFocusRect(dc, &focus);
    }
    EndPaint(spinner, &paint);
}

void Press(HWND spinner, SpinnerState& state, int y)
{
    // What the user typed and left pending counts before the click moves it.
    TakeEditText(state);
    RECT client;
    GetClientRect(spinner, &client);
    state.heldDirection = y < client.bottom / 2 ? 1 : -1;
    state.dragging = false;
    state.pressY = y;
    state.pressValue = state.value;
    SetCapture(spinner);
    SetValue(state, SteppedValue(state.value, state.heldDirection, state.step, state.limits));
    SetTimer(spinner, TIMER_REPEAT, REPEAT_DELAY_MS, nullptr);
    InvalidateRect(spinner, nullptr, FALSE);
}

void Drag(HWND spinner, SpinnerState& state, int y)
{
    const int distance = state.pressY - y; // upwards is positive, as the values grow
    if (!state.dragging) {
        if (distance < DRAG_THRESHOLD_PIXELS && distance > -DRAG_THRESHOLD_PIXELS) return;
        state.dragging = true;
        KillTimer(spinner, TIMER_REPEAT);
        InvalidateRect(spinner, nullptr, FALSE);
    }
    SetValue(state,
             SteppedValue(state.pressValue, distance / DRAG_PIXELS_PER_STEP, state.step, state.limits));
}

LRESULT CALLBACK SpinnerProc(HWND spinner, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* state = new (std::nothrow) SpinnerState();
        if (state == nullptr) return FALSE;
        SetWindowLongPtrA(spinner, 0, reinterpret_cast<LONG_PTR>(state));
        return DefWindowProcA(spinner, message, wParam, lParam);
    }
    SpinnerState* state = StateOf(spinner);
    if (state == nullptr) return DefWindowProcA(spinner, message, wParam, lParam);

    switch (message) {
    case WM_NCDESTROY:
        if (LinkedSpinner(state->edit) == spinner) LinkEditToSpinner(state->edit, nullptr);
        SetWindowLongPtrA(spinner, 0, 0);
        delete state;
        return 0;
    case WM_PAINT: Paint(spinner, *state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(spinner, nullptr, FALSE); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_KEYDOWN:
        if (wParam == VK_UP || wParam == VK_DOWN) {
            TakeEditText(*state);
            SetValue(*state,
                     SteppedValue(state->value, wParam == VK_UP ? 1 : -1, state->step, state->limits));
            return 0;
        }
        break;
    case WM_LBUTTONDOWN: Press(spinner, *state, GET_Y_LPARAM(lParam)); return 0;
    case WM_MOUSEMOVE:
        if (state->heldDirection != 0 && GetCapture() == spinner) Drag(spinner, *state, GET_Y_LPARAM(lParam));
        return 0;
    case WM_TIMER:
        if (wParam == TIMER_REPEAT && state->heldDirection != 0 && !state->dragging) {
            SetTimer(spinner, TIMER_REPEAT, REPEAT_INTERVAL_MS, nullptr);
            SetValue(*state, SteppedValue(state->value, state->heldDirection, state->step, state->limits));
        }
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == spinner) ReleaseCapture();
        EndPress(spinner, *state);
        return 0;
    case WM_CAPTURECHANGED: EndPress(spinner, *state); return 0;
    case SPINNER_TAKE_EDIT_TEXT:
        if (reinterpret_cast<HWND>(lParam) == state->edit) TakeEditText(*state);
        return 0;
    default: break;
    }
    return DefWindowProcA(spinner, message, wParam, lParam);
}

// One interface handed out by GetISpinner. It holds only the window, so it never outlives the
// state it changes: once the window is gone, every call does nothing.
class SpinnerInterface final : public ISpinnerControl {
public:
    explicit SpinnerInterface(HWND spinner) : window(spinner) {}

    float GetFloatValue() override { return static_cast<float>(GetIntValue()); }

    int GetIntValue() override
    {
        SpinnerState* state = Live();
        return state != nullptr ? state->value : 0;
    }

    void SetFloatValue(float value, int notify) override { SetIntValue(RoundToWhole(value), notify); }

    void SetIntValue(int value, int) override
    {
        if (SpinnerState* state = Live()) SetValue(*state, ClampToLimits(value, state->limits));
    }

    void SetFloatLimits(float minimum, float maximum, int clampNow) override
    {
        SetIntLimits(RoundToWhole(minimum), RoundToWhole(maximum), clampNow);
    }

    void SetIntLimits(int minimum, int maximum, int clampNow) override
    {
        SpinnerState* state = Live();
        if (state == nullptr) return;
        state->limits = OrderedLimits(minimum, maximum);
        if (clampNow != 0) SetValue(*state, ClampToLimits(state->value, state->limits));
    }

    void SetStep(float step) override
    {
        if (SpinnerState* state = Live()) state->step = RoundToWhole(step) > 1 ? RoundToWhole(step) : 1;
    }

    void AttachEdit(HWND edit, int) override
    {
        SpinnerState* state = Live();
        if (state == nullptr) return;
        if (LinkedSpinner(state->edit) == window) LinkEditToSpinner(state->edit, nullptr);
        state->edit = edit;
        LinkEditToSpinner(edit, window);
        ShowValue(*state);
    }

private:
    SpinnerState* Live() const { return IsSpinnerWindow(window) ? StateOf(window) : nullptr; }

    HWND window;
};

} // namespace

bool RegisterSpinnerClass(HINSTANCE instance)
{
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(instance, CLASS_SPINNER, &existing)) {
        if (existing.lpfnWndProc == SpinnerProc) return true;
        UnregisterClassA(CLASS_SPINNER, instance);
    }
    WNDCLASSEXA spinner{};
    spinner.cbSize = sizeof spinner;
    spinner.lpfnWndProc = SpinnerProc;
    spinner.cbWndExtra = sizeof(LONG_PTR);
    spinner.hInstance = instance;
    spinner.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    spinner.lpszClassName = CLASS_SPINNER;
    return RegisterClassExA(&spinner) != 0;
}

bool IsSpinnerWindow(HWND window)
{
    return window != nullptr && IsWindow(window) &&
           reinterpret_cast<WNDPROC>(GetClassLongPtrA(window, GCLP_WNDPROC)) == SpinnerProc &&
           StateOf(window) != nullptr;
}

ISpinnerControl* NewSpinnerInterface(HWND spinner) { return new (std::nothrow) SpinnerInterface(spinner); }

void DeleteSpinnerInterface(ISpinnerControl* spinner) { delete static_cast<SpinnerInterface*>(spinner); }
