// The control dialog's module-wide state, seen from inside: the module's code linked into this
// program, its dialog built from this program's copy of the resources.
#include <gtest/gtest.h>

#include <initializer_list>

#include "core.h"
#include "core_record.h"
#include "deepglass_filter.h"
#include "dialog_driver.h"
#include "dialog_procedures.h"
#include "module_entry.h"
#include "records.h"
#include "resource_ids.h"

namespace {

class ControlDialogStateTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(ModuleEntry(GetModuleHandleA(nullptr), MODULE_PROCESS_ATTACH, nullptr), 1);
    }
    void TearDown() override { ModuleEntry(nullptr, MODULE_PROCESS_DETACH, nullptr); }
};

FilterSettings SettingsOf(const DeepglassFilter& filter)
{
    return {filter.Config().mode, filter.Config().objectId, filter.Config().materialId};
}

TEST_F(ControlDialogStateTest, AClosedDialogLeavesNoFilterForLaterMessages)
{
    DeepglassFilter filter;
    DialogDriver driver;
    driver.Then([](HWND dialog) { Click(dialog, IDC_OBJ_CHANNEL); }).Then([](HWND dialog) {
        Click(dialog, IDOK);
    });
    ASSERT_EQ(filter.ShowControl(driver.Parent()), 1);
    ASSERT_EQ(SettingsOf(filter), (FilterSettings{IDC_OBJ_CHANNEL, 1, 1}));

    // A message for a dialog that is gone is not handled, and reaches neither the filter nor the
    // spinner interfaces released with the dialog.
    EXPECT_EQ(ControlDlgProc(driver.Parent(), WM_COMMAND, IDOK, 0), 0);
    EXPECT_EQ(ControlDlgProc(driver.Parent(), WM_COMMAND, IDC_WHOLE_IMAGE, 0), 0);
    EXPECT_EQ(SettingsOf(filter), (FilterSettings{IDC_OBJ_CHANNEL, 1, 1}));
    EXPECT_EQ(LiveSpinnerCount(), 0);
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

// Classes of the custom controls' names that are not the host's, so GetISpinner yields nothing.
void RegisterForeignControls(HINSTANCE instance)
{
    for (const char* name : {"CustEdit", "SpinnerControl"}) {
        UnregisterClassA(name, instance);
        WNDCLASSEXA plain{};
        plain.cbSize = sizeof plain;
        plain.lpfnWndProc = PlainWindowProc;
        plain.hInstance = instance;
        plain.lpszClassName = name;
        ASSERT_NE(RegisterClassExA(&plain), 0);
    }
}

TEST_F(ControlDialogStateTest, WithoutSpinnerInterfacesOkKeepsTheFiltersIds)
{
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterForeignControls(instance);
    DeepglassFilter filter;
    ConfigRecord record = MakeRecord(1010, 33, 6);
    ASSERT_EQ(filter.LoadConfigure(record.data()), 1);

    DialogDriver driver;
    driver
        .Then([](HWND dialog) {
            EXPECT_EQ(LiveSpinnerCount(), 0);
            Click(dialog, IDC_MTL_CHANNEL);
        })
        .Then([](HWND dialog) {
            EXPECT_TRUE(IsEnabled(dialog, IDC_MTL_ID_SPIN));
            Click(dialog, IDOK);
        });
    EXPECT_EQ(filter.ShowControl(driver.Parent()), 1);
    EXPECT_FALSE(driver.Abandoned());
    EXPECT_EQ(SettingsOf(filter), (FilterSettings{IDC_MTL_CHANNEL, 33, 6}));

    // The host's own classes come back for the tests that follow.
    InitCustomControls(instance);
}

} // namespace
