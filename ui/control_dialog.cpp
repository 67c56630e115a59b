// The control dialog: the mode as three radio buttons, the two IDs as the host's spinners. The
// dialog keeps no copy of the settings; OK reads them back from the buttons and the spinners.
#include "core.h"
#include "deepglass_filter.h"
#include "dialog_procedures.h"
#include "module_entry.h"
#include "resource_ids.h"

namespace {

constexpr WORD CURSOR_ARROW = 32512;

// The open dialog's filter and spinner interfaces; module-wide, so one control dialog at a time.
DeepglassFilter* controlFilter = nullptr;
ISpinnerControl* materialIdSpinner = nullptr;
ISpinnerControl* objectIdSpinner = nullptr;

// A spinner joined to its edit field, bounded and showing `value`; null when the host gave none.
ISpinnerControl* SetUpSpinner(HWND dialog, int spinnerId, int editId, int minimum, int maximum, int value)
{
    ISpinnerControl* spinner = GetISpinner(GetDlgItem(dialog, spinnerId));
    if (spinner == nullptr) return nullptr;
    spinner->AttachEdit(GetDlgItem(dialog, editId), 0);
    spinner->SetIntLimits(minimum, maximum, 0);
    spinner->SetIntValue(value, 0);
    return spinner;
}

void ReleaseSpinner(ISpinnerControl*& spinner)
{
    if (spinner == nullptr) return;
    ReleaseISpinner(spinner);
    spinner = nullptr;
}

} // namespace

INT_PTR CALLBACK ControlDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) controlFilter = reinterpret_cast<DeepglassFilter*>(lParam);
    if (controlFilter == nullptr) return 0;
    const INT_PTR result = controlFilter->HandleControlMessage(dialog, message, wParam, lParam);
    // The host may delete the filter once the dialog is gone; no later message may reach it.
    if (message == WM_DESTROY) controlFilter = nullptr;
    return result;
}

int DeepglassFilter::ShowControl(HWND parent)
{
    return static_cast<int>(DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(IDD_CONTROL), parent,
                                            ControlDlgProc, reinterpret_cast<LPARAM>(this)));
}

INT_PTR DeepglassFilter::HandleControlMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterWindow(dialog, GetParent(dialog));
        SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(CURSOR_ARROW)));
        InitControlDialog(dialog);
        return 1;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id > IDC_OBJ_CHANNEL) return 1;
        if (id >= IDC_WHOLE_IMAGE) {
            UpdateIdFields(dialog);
        } else if (id == IDOK) {
            config.mode = ReadModeButtons(dialog);
            // An ID whose spinner the host did not hand out keeps the filter's value.
            if (materialIdSpinner != nullptr) config.materialId = materialIdSpinner->GetIntValue();
            if (objectIdSpinner != nullptr) config.objectId = objectIdSpinner->GetIntValue();
            EndDialog(dialog, 1);
        } else if (id == IDCANCEL) {
            EndDialog(dialog, 0);
        }
        return 1;
    }
    case WM_DESTROY: ReleaseSpinners(); return 0;
    default: return 0;
    }
}

void DeepglassFilter::InitControlDialog(HWND dialog)
{
    CheckRadioButton(dialog, IDC_WHOLE_IMAGE, IDC_OBJ_CHANNEL, config.mode);
    materialIdSpinner = SetUpSpinner(dialog, IDC_MTL_ID_SPIN, IDC_MTL_ID_EDIT, MATERIAL_ID_MIN,
                                     MATERIAL_ID_MAX, config.materialId);
    objectIdSpinner =
        SetUpSpinner(dialog, IDC_OBJ_ID_SPIN, IDC_OBJ_ID_EDIT, OBJECT_ID_MIN, OBJECT_ID_MAX, config.objectId);
    UpdateIdFields(dialog);
}

void DeepglassFilter::UpdateIdFields(HWND dialog)
{
    const UINT materialChecked = IsDlgButtonChecked(dialog, IDC_MTL_CHANNEL);
    EnableWindow(GetDlgItem(dialog, IDC_MTL_ID_EDIT), materialChecked);
    EnableWindow(GetDlgItem(dialog, IDC_MTL_ID_SPIN), materialChecked);
    const UINT objectChecked = IsDlgButtonChecked(dialog, IDC_OBJ_CHANNEL);
    EnableWindow(GetDlgItem(dialog, IDC_OBJ_ID_EDIT), objectChecked);
    EnableWindow(GetDlgItem(dialog, IDC_OBJ_ID_SPIN), objectChecked);
}

std::int32_t DeepglassFilter::ReadModeButtons(HWND dialog)
{
    constexpr std::int32_t MODES_IN_ORDER[] = {MODE_WHOLE_IMAGE, MODE_MATERIAL_ID, MODE_OBJECT_ID};
    for (const std::int32_t mode : MODES_IN_ORDER) {
        if (IsDlgButtonChecked(dialog, mode)) return mode;
    }
    return MODE_WHOLE_IMAGE;
}

void DeepglassFilter::ReleaseSpinners()
{
    ReleaseSpinner(materialIdSpinner);
    ReleaseSpinner(objectIdSpinner);
}
