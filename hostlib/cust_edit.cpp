// CustEdit: the host's edit field, a standard edit control that hands what the user typed to its
// spinner when the user presses Enter or leaves the field.
#include "custom_controls.h"

namespace {

// The standard edit class's window procedure and extra bytes; CustEdit keeps its spinner link in
// the bytes after them.
WNDPROC baseEditProc = nullptr;
int linkOffset = 0;

void HandTextToSpinner(HWND edit)
{
    const HWND spinner = LinkedSpinner(edit);
    if (spinner != nullptr && IsWindow(spinner))
        SendMessageA(spinner, SPINNER_TAKE_EDIT_TEXT, 0, reinterpret_cast<LPARAM>(edit));
}

LRESULT CALLBACK CustEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCCREATE: {
        // A thin border, so the field reads as one even in a template that gives it none.
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        create->style |= WS_BORDER | ES_AUTOHSCROLL;
        SetWindowLongPtrA(edit, GWL_STYLE, create->style);
        break;
    }
    case WM_GETDLGCODE: {
        // Enter commits the typed value here instead of pressing the dialog's default button.
        LRESULT code = CallWindowProcA(baseEditProc, edit, message, wParam, lParam);
        const auto* pending = reinterpret_cast<const MSG*>(lParam);
        if (pending != nullptr && pending->message == WM_KEYDOWN && pending->wParam == VK_RETURN)
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            HandTextToSpinner(edit);
            SendMessageA(edit, EM_SETSEL, 0, -1);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == '\r') return 0; // already handled at the key press; the edit would beep
        break;
    case WM_KILLFOCUS: {
        const LRESULT result = CallWindowProcA(baseEditProc, edit, message, wParam, lParam);
        HandTextToSpinner(edit);
        return result;
    }
    default: break;
    }
    return CallWindowProcA(baseEditProc, edit, message, wParam, lParam);
}

} // namespace

bool RegisterCustEditClass(HINSTANCE instance)
{
    WNDCLASSEXA base{};
    base.cbSize = sizeof base;
    if (!GetClassInfoExA(nullptr, "EDIT", &base)) return false;
    baseEditProc = base.lpfnWndProc;
    linkOffset = base.cbWndExtra;

    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(instance, CLASS_CUST_EDIT, &existing)) {
        if (existing.lpfnWndProc == CustEditProc) return true;
        UnregisterClassA(CLASS_CUST_EDIT, instance);
    }
    WNDCLASSEXA custEdit = base;
    custEdit.style &= ~static_cast<UINT>(CS_GLOBALCLASS);
    custEdit.lpfnWndProc = CustEditProc;
    custEdit.cbWndExtra = base.cbWndExtra + static_cast<int>(sizeof(LONG_PTR));
    custEdit.hInstance = instance;
    custEdit.lpszClassName = CLASS_CUST_EDIT;
    return RegisterClassExA(&custEdit) != 0;
}

bool IsCustEditWindow(HWND window)
{
    return window != nullptr && IsWindow(window) &&
           reinterpret_cast<WNDPROC>(GetClassLongPtrA(window, GCLP_WNDPROC)) == CustEditProc;
}

HWND LinkedSpinner(HWND edit)
{
    if (!IsCustEditWindow(edit)) return nullptr;
    return reinterpret_cast<HWND>(GetWindowLongPtrA(edit, linkOffset));
}

void LinkEditToSpinner(HWND edit, HWND spinner)
{
    if (IsCustEditWindow(edit)) SetWindowLongPtrA(edit, linkOffset, reinterpret_cast<LONG_PTR>(spinner));
}
