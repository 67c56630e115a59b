#include "dialog_driver.h"

#include <cstring>

#include "records.h"

namespace {

constexpr char OWNER_CLASS[] = "DeepglassTestOwner";
// Where the owner stands: well inside the screen, so a centred dialog needs no moving back in.
constexpr int OWNER_X = 240;
constexpr int OWNER_Y = 160;
constexpr int OWNER_WIDTH = 720;
constexpr int OWNER_HEIGHT = 560;

DialogDriver* ownerlessDriver = nullptr;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX) {
        auto* driver = reinterpret_cast<DialogDriver*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (driver != nullptr) driver->Advance(reinterpret_cast<HWND>(lParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

BOOL CALLBACK FindDialog(HWND window, LPARAM found)
{
    char name[16];
    if (IsWindowVisible(window) && GetClassNameA(window, name, sizeof name) &&
        std::strcmp(name, "#32770") == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK OwnerlessTick(HWND, UINT, UINT_PTR, DWORD)
{
    HWND open = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&open));
    if (open != nullptr && ownerlessDriver != nullptr) ownerlessDriver->Advance(open);
}

void PostClick(HWND control, int x, int y)
{
    const LPARAM point = MAKELPARAM(x, y);
    PostMessageA(control, WM_MOUSEMOVE, 0, point);
    PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageA(control, WM_LBUTTONUP, 0, point);
}

BOOL CALLBACK CountWindow(HWND window, LPARAM count)
{
    if (IsWindow(window)) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

} // namespace

DialogDriver::DialogDriver(bool withOwner)
{
    if (!withOwner) {
        ownerlessDriver = this;
        timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, OwnerlessTick);
        return;
    }
    WNDCLASSEXA ownerClass{};
    ownerClass.cbSize = sizeof ownerClass;
    ownerClass.lpfnWndProc = OwnerProc;
    ownerClass.hInstance = GetModuleHandleA(nullptr);
    ownerClass.lpszClassName = OWNER_CLASS;
    ownerClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    RegisterClassExA(&ownerClass); // fails harmlessly when an earlier driver registered it
    owner = CreateWindowExA(0, OWNER_CLASS, "Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, OWNER_X, OWNER_Y,
                            OWNER_WIDTH, OWNER_HEIGHT, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(owner, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

DialogDriver::~DialogDriver()
{
    if (timer != 0) KillTimer(nullptr, timer);
    if (ownerlessDriver == this) ownerlessDriver = nullptr;
    if (owner != nullptr) DestroyWindow(owner);
}

DialogDriver& DialogDriver::Then(Step step)
{
    steps.push_back(std::move(step));
    return *this;
}

void DialogDriver::Advance(HWND openDialog)
{
    dialog = openDialog;
    if (next < steps.size()) {
        steps[next++](openDialog);
    } else if (!abandoned) {
        abandoned = true;
        EndDialog(openDialog, END_ABANDONED);
    }
    // Wakes the loop even when the step only sent messages, so the next idle comes.
    PostMessageA(openDialog, WM_NULL, 0, 0);
}

void Click(HWND dialog, int id)
{
    const HWND control = GetDlgItem(dialog, id);
    RECT client;
    GetClientRect(control, &client);
    PostClick(control, client.right / 2, client.bottom / 2);
}

void ClickSpinner(HWND dialog, int id, bool upperHalf)
{
    const HWND spinner = GetDlgItem(dialog, id);
    RECT client;
    GetClientRect(spinner, &client);
    PostClick(spinner, client.right / 2, upperHalf ? client.bottom / 4 : client.bottom * 3 / 4);
}

void Type(HWND dialog, int id, const std::string& text)
{
    const HWND edit = GetDlgItem(dialog, id);
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (const char c : text) PostMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
}

void PressKey(UINT virtualKey)
{
    const HWND focus = GetFocus();
    PostMessageA(focus, WM_KEYDOWN, virtualKey, 1);
    PostMessageA(focus, WM_KEYUP, virtualKey, 0xC0000001);
}

void CloseBox(HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

std::string TextOf(HWND dialog, int id)
{
    char text[256] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

bool IsEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

POINT CentreOffset(HWND window, HWND over)
{
    RECT placed;
    GetWindowRect(window, &placed);
    RECT target;
    if (over != nullptr) {
        GetWindowRect(over, &target);
    } else {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
        target = monitor.rcWork;
    }
    return {(placed.left + placed.right) / 2 - (target.left + target.right) / 2,
            (placed.top + placed.bottom) / 2 - (target.top + target.bottom) / 2};
}

int ThreadWindowCount()
{
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

FilterSettings SettingsOf(ImageFilter& filter)
{
    ConfigRecord record{};
    filter.SaveConfigure(record.data());
    const RecordWords words = ReadRecord(record);
    return {words.mode, words.objectId, words.materialId};
}

bool StoreSettings(ImageFilter& filter, FilterSettings settings)
{
    ConfigRecord record = MakeRecord(settings.mode, settings.objectId, settings.materialId);
    return filter.LoadConfigure(record.data()) == 1;
}
