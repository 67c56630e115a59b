// Builds without a dialog platform: both dialogs answer what the platform answers when a dialog
// cannot be created.
#include "deepglass_filter.h"

namespace {
constexpr int DIALOG_UNAVAILABLE = -1;
}

int DeepglassFilter::ShowControl(HWND) { return DIALOG_UNAVAILABLE; }

INT_PTR DeepglassFilter::DisplayAbout(HWND) { return DIALOG_UNAVAILABLE; }
