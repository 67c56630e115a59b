// The About box: logo, name, version, author, rights and web address, with OK. It reads and
// changes nothing of the filter.
#include "core.h"
#include "deepglass_filter.h"
#include "dialog_procedures.h"
#include "module_entry.h"
#include "resource_ids.h"

namespace {

constexpr WORD CURSOR_ARROW = 32512;

// The logo's static control loads the bitmap from the template but does not delete it when it is
// destroyed; taken out and deleted here, it no longer costs memory at every opening.
void DeleteLogo(HWND dialog)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP) continue;
        const auto logo = reinterpret_cast<HBITMAP>(SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, 0));
        if (logo != nullptr) DeleteObject(logo);
    }
}

} // namespace

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterWindow(dialog, GetParent(dialog));
        SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(CURSOR_ARROW)));
        return 1;
    case WM_COMMAND:
        // Escape and the close box arrive as IDCANCEL.
        if (LOWORD(wParam) == IDOK) EndDialog(dialog, 1);
        if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
        return 1;
    case WM_DESTROY: DeleteLogo(dialog); return 0;
    default: return 0;
    }
}

INT_PTR DeepglassFilter::DisplayAbout(HWND parent)
{
    return DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(IDD_ABOUT), parent, AboutDlgProc,
                           reinterpret_cast<LPARAM>(this));
}
