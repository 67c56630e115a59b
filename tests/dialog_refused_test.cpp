// Both dialogs of the built module when the window system will not create them: the filter hands
// the platform's failure result (-1) back to the host, keeps its settings and leaves no window
// behind, and the next dialog opens as usual.
#include <gtest/gtest.h>

#include "core_record.h"
#include "dialog_driver.h"
#include "dialog_module.h"
#include "resource_ids.h"

namespace {

using DialogRefusedTest = DialogModuleTest;

// While alive, the window system refuses on this thread to create the dialog window itself, or
// each of its controls, as it does when it has run out of window resources.
class WindowCreationRefused {
public:
    explicit WindowCreationRefused(bool controls)
    {
        refuseControls = controls;
        refused = 0;
        hook = SetWindowsHookExA(WH_CBT, Refuse, nullptr, GetCurrentThreadId());
    }
    ~WindowCreationRefused() { UnhookWindowsHookEx(hook); }
    WindowCreationRefused(const WindowCreationRefused&) = delete;
    WindowCreationRefused& operator=(const WindowCreationRefused&) = delete;

    bool Installed() const { return hook != nullptr; }
    static int Refused() { return refused; }

private:
    static LRESULT CALLBACK Refuse(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_CREATEWND) {
            const auto* create = reinterpret_cast<const CBT_CREATEWNDA*>(lParam);
            const bool control = (create->lpcs->style & WS_CHILD) != 0;
            if (control == refuseControls) return ++refused, 1; // non-zero: the window is not made
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    HHOOK hook = nullptr;
    static inline bool refuseControls = false;
    static inline int refused = 0;
};

TEST_F(DialogRefusedTest, BothDialogsAnswerMinusOneAndKeepTheSettings)
{
    FilterHandle filter = NewFilter();
    const FilterSettings stored{IDC_MTL_CHANNEL, 300, 7};
    ASSERT_TRUE(StoreSettings(*filter, stored));
    DialogDriver driver; // only its owner window: no step runs when no dialog opens
    const int windowsBefore = ThreadWindowCount();
    for (const bool controls : {false, true}) {
        SCOPED_TRACE(controls ? "its controls refused" : "the dialog window refused");
        {
            WindowCreationRefused refused(controls);
            ASSERT_TRUE(refused.Installed());
            EXPECT_EQ(filter->ShowControl(driver.Parent()), -1);
            EXPECT_EQ(filter->DisplayAbout(driver.Parent()), -1);
            EXPECT_EQ(WindowCreationRefused::Refused(), 2);
        }
        EXPECT_EQ(driver.StepsRun(), 0u);
        EXPECT_EQ(SettingsOf(*filter), stored);
        EXPECT_EQ(ThreadWindowCount(), windowsBefore);
        EXPECT_EQ(LiveSpinnerCount(), 0);
    }

    // Nothing of the refused dialogs stays behind in the module: the next one opens and answers.
    DialogDriver next;
    next.Then([](HWND dialog) {
        EXPECT_TRUE(IsChecked(dialog, IDC_MTL_CHANNEL));
        Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(filter->ShowControl(next.Parent()), 0);
    EXPECT_EQ(next.StepsRun(), 1u);
}

} // namespace
