// Drives a modal dialog from inside its own message loop, one scripted step at a time. Each time
// the loop runs out of messages the next step runs (the dialog's idle notification to its owner,
// or a thread timer when it has no owner), so every step sees the effects of the steps before it
// and nothing waits on the clock. Steps act as a user would: clicks and key presses are posted to
// the controls and travel through the dialog manager.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "image_filter.h"

class DialogDriver {
public:
    using Step = std::function<void(HWND dialog)>;

    // With an owner, the owner window stands at a fixed place on the screen; ownerless, the
    // dialog's parent is null.
    explicit DialogDriver(bool withOwner = true);
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    HWND Parent() const { return owner; }
    DialogDriver& Then(Step step);

    // The end code the driver gives a dialog still open after the last step.
    static constexpr INT_PTR END_ABANDONED = 77;
    bool Abandoned() const { return abandoned; }
    std::size_t StepsRun() const { return next; }
    // The dialog the steps ran on.
    HWND Dialog() const { return dialog; }

    // Runs the next step on `openDialog`; ends it when no step is left.
    void Advance(HWND openDialog);

private:
    HWND owner = nullptr;
    UINT_PTR timer = 0;
    std::vector<Step> steps;
    std::size_t next = 0;
    bool abandoned = false;
    HWND dialog = nullptr;
};

// What a user does.
void Click(HWND dialog, int id);
void ClickSpinner(HWND dialog, int id, bool upperHalf);
// Focuses the edit field, selects all of its text and types `text` over it.
void Type(HWND dialog, int id, const std::string& text);
// A key press and release on whatever has the focus.
void PressKey(UINT virtualKey);
void CloseBox(HWND dialog);

// What a user sees.
std::string TextOf(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
// How far the centre of `window` lies from the centre of `over` (or of the work area when null).
POINT CentreOffset(HWND window, HWND over);
// Top-level windows of this thread that are still alive.
int ThreadWindowCount();

// A filter's three settings as its stored record holds them.
struct FilterSettings {
    std::int32_t mode;
    std::int32_t objectId;
    std::int32_t materialId;
    bool operator==(const FilterSettings&) const = default;
};
FilterSettings SettingsOf(ImageFilter& filter);
// Loads the settings through the filter's record, as a host restoring a scene would.
bool StoreSettings(ImageFilter& filter, FilterSettings settings);
