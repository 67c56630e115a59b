// The control dialog of the built module, run in the platform's real dialog manager and driven as
// a user drives it.
#include <gtest/gtest.h>

#include "core_record.h"
#include "dialog_driver.h"
#include "dialog_module.h"
#include "resource_ids.h"

namespace {

constexpr FilterSettings NEW_FILTER{IDC_WHOLE_IMAGE, 1, 1};
constexpr int ID_WINDOWS[] = {IDC_MTL_ID_EDIT, IDC_MTL_ID_SPIN, IDC_OBJ_ID_EDIT, IDC_OBJ_ID_SPIN};

using ControlDialogTest = DialogModuleTest;

// Which of the four ID windows are enabled, in the order edit, spinner (material), edit, spinner (object).
std::vector<bool> EnabledIdWindows(HWND dialog)
{
    std::vector<bool> enabled;
    for (const int id : ID_WINDOWS) enabled.push_back(IsEnabled(dialog, id));
    return enabled;
}

TEST_F(ControlDialogTest, NewFilterOpensOnWholeImageWithBothIdFieldsDisabledAndCentred)
{
    FilterHandle filter = NewFilter();
    DialogDriver driver;
    driver.Then([&](HWND dialog) {
        EXPECT_TRUE(IsChecked(dialog, IDC_WHOLE_IMAGE));
        EXPECT_FALSE(IsChecked(dialog, IDC_MTL_CHANNEL));
        EXPECT_FALSE(IsChecked(dialog, IDC_OBJ_CHANNEL));
        EXPECT_EQ(TextOf(dialog, IDC_MTL_ID_EDIT), "1");
        EXPECT_EQ(TextOf(dialog, IDC_OBJ_ID_EDIT), "1");
        EXPECT_EQ(EnabledIdWindows(dialog), std::vector<bool>(4, false));
        EXPECT_EQ(LiveSpinnerCount(), 2);
        const POINT offset = CentreOffset(dialog, driver.Parent());
        EXPECT_LE(std::abs(offset.x), 1);
        EXPECT_LE(std::abs(offset.y), 1);
        EXPECT_EQ(GetParent(dialog), driver.Parent());
        Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(filter->ShowControl(driver.Parent()), 0);
    EXPECT_FALSE(driver.Abandoned());
    EXPECT_EQ(driver.StepsRun(), 1u);
    EXPECT_EQ(SettingsOf(*filter), NEW_FILTER);
    EXPECT_EQ(LiveSpinnerCount(), 0);
    EXPECT_FALSE(IsWindow(driver.Dialog()));
}

TEST_F(ControlDialogTest, EachModeButtonEnablesOnlyItsOwnIdField)
{
    FilterHandle filter = NewFilter();
    DialogDriver driver;
    driver.Then([](HWND dialog) { Click(dialog, IDC_MTL_CHANNEL); })
        .Then([](HWND dialog) {
            EXPECT_TRUE(IsChecked(dialog, IDC_MTL_CHANNEL));
            EXPECT_FALSE(IsChecked(dialog, IDC_WHOLE_IMAGE));
            EXPECT_EQ(EnabledIdWindows(dialog), (std::vector<bool>{true, true, false, false}));
            Click(dialog, IDC_OBJ_CHANNEL);
        })
        .Then([](HWND dialog) {
            EXPECT_FALSE(IsChecked(dialog, IDC_MTL_CHANNEL));
            EXPECT_EQ(EnabledIdWindows(dialog), (std::vector<bool>{false, false, true, true}));
            Click(dialog, IDC_WHOLE_IMAGE);
        })
        .Then([](HWND dialog) {
            EXPECT_EQ(EnabledIdWindows(dialog), std::vector<bool>(4, false));
            PressKey(VK_ESCAPE);
        });
    EXPECT_EQ(filter->ShowControl(driver.Parent()), 0);
    EXPECT_FALSE(driver.Abandoned());
    EXPECT_EQ(SettingsOf(*filter), NEW_FILTER);
}

TEST_F(ControlDialogTest, OkStoresTheModeAndBothIdsWhateverFieldIsDisabled)
{
    FilterHandle filter = NewFilter();
    DialogDriver driver;
    driver.Then([](HWND dialog) { Click(dialog, IDC_MTL_CHANNEL); })
        .Then([](HWND dialog) {
            ClickSpinner(dialog, IDC_MTL_ID_SPIN, true);
            ClickSpinner(dialog, IDC_MTL_ID_SPIN, true);
        })
        .Then([](HWND dialog) {
            EXPECT_EQ(TextOf(dialog, IDC_MTL_ID_EDIT), "3");
            Click(dialog, IDC_OBJ_CHANNEL);
        })
        .Then([](HWND dialog) { Type(dialog, IDC_OBJ_ID_EDIT, "300"); })
        .Then([](HWND) { PressKey(VK_RETURN); })
        .Then([](HWND dialog) {
            // Enter in the field takes the value and leaves the dialog open.
            EXPECT_EQ(TextOf(dialog, IDC_OBJ_ID_EDIT), "300");
            Click(dialog, IDC_WHOLE_IMAGE);
        })
        .Then([](HWND dialog) { Click(dialog, IDOK); });
    EXPECT_EQ(filter->ShowControl(driver.Parent()), 1);
    EXPECT_FALSE(driver.Abandoned());
    EXPECT_EQ(driver.StepsRun(), 7u);
    EXPECT_EQ(SettingsOf(*filter), (FilterSettings{IDC_WHOLE_IMAGE, 300, 3}));
    EXPECT_EQ(LiveSpinnerCount(), 0);
}

TEST_F(ControlDialogTest, ATypedValueCountsWhenTheUserGoesStraightToOk)
{
    FilterHandle filter = NewFilter();
    DialogDriver driver;
    driver.Then([](HWND dialog) { Click(dialog, IDC_OBJ_CHANNEL); })
        .Then([](HWND dialog) { Type(dialog, IDC_OBJ_ID_EDIT, "4242"); })
        .Then([](HWND dialog) { Click(dialog, IDOK); });
    EXPECT_EQ(filter->ShowControl(driver.Parent()), 1);
    EXPECT_EQ(SettingsOf(*filter), (FilterSettings{IDC_OBJ_CHANNEL, 4242, 1}));
}

TEST_F(ControlDialogTest, CancelEscapeAndTheCloseBoxWriteNothing)
{
    FilterHandle filter = NewFilter();
    const FilterSettings stored{IDC_MTL_CHANNEL, 77, 5};
    ASSERT_TRUE(StoreSettings(*filter, stored));
    const std::function<void(HWND)> dismissals[] = {
        [](HWND dialog) { Click(dialog, IDCANCEL); },
        [](HWND) { PressKey(VK_ESCAPE); },
        [](HWND dialog) { CloseBox(dialog); },
    };
    for (const auto& dismiss : dismissals) {
        DialogDriver driver;
        driver.Then([](HWND dialog) { Click(dialog, IDC_OBJ_CHANNEL); })
            .Then([](HWND dialog) { Type(dialog, IDC_OBJ_ID_EDIT, "9"); })
            .Then([](HWND) { PressKey(VK_TAB); })
            .Then([](HWND dialog) {
                ClickSpinner(dialog, IDC_OBJ_ID_SPIN, true);
                EXPECT_EQ(TextOf(dialog, IDC_OBJ_ID_EDIT), "9");
            })
            .Then([](HWND dialog) { EXPECT_EQ(TextOf(dialog, IDC_OBJ_ID_EDIT), "10"); })
            .Then(dismiss);
        EXPECT_EQ(filter->ShowControl(driver.Parent()), 0);
        EXPECT_FALSE(driver.Abandoned());
        EXPECT_EQ(driver.StepsRun(), 6u);
        EXPECT_EQ(SettingsOf(*filter), stored);
        EXPECT_EQ(LiveSpinnerCount(), 0);
    }
}

TEST_F(ControlDialogTest, TypedValuesStayWithinTheLimitsAndTextRestoresTheShownValue)
{
    FilterHandle filter = NewFilter();
    DialogDriver driver;
    auto typeAndEnter = [&driver](int id, const char* text, const char* shown) {
        driver.Then([id, text](HWND dialog) { Type(dialog, id, text); })
            .Then([](HWND) { PressKey(VK_RETURN); })
            .Then([id, shown](HWND dialog) { EXPECT_EQ(TextOf(dialog, id), shown) << "typed into " << id; });
    };
    driver.Then([](HWND dialog) { Click(dialog, IDC_MTL_CHANNEL); });
    typeAndEnter(IDC_MTL_ID_EDIT, "0", "1");
    typeAndEnter(IDC_MTL_ID_EDIT, "9", "8");
    typeAndEnter(IDC_MTL_ID_EDIT, "six", "8");
    typeAndEnter(IDC_MTL_ID_EDIT, "-3", "1");
    typeAndEnter(IDC_MTL_ID_EDIT, " 6 ", "6");
    typeAndEnter(IDC_MTL_ID_EDIT, "", "6");
    driver.Then([](HWND dialog) { Click(dialog, IDC_OBJ_CHANNEL); });
    typeAndEnter(IDC_OBJ_ID_EDIT, "70000", "65535");
    driver.Then([](HWND dialog) { ClickSpinner(dialog, IDC_OBJ_ID_SPIN, true); }).Then([](HWND dialog) {
        EXPECT_EQ(TextOf(dialog, IDC_OBJ_ID_EDIT), "65535");
    });
    typeAndEnter(IDC_OBJ_ID_EDIT, "99999999999999", "65535");
    typeAndEnter(IDC_OBJ_ID_EDIT, "12abc", "65535");
    typeAndEnter(IDC_OBJ_ID_EDIT, "0", "1");
    driver.Then([](HWND dialog) { ClickSpinner(dialog, IDC_OBJ_ID_SPIN, false); }).Then([](HWND dialog) {
        EXPECT_EQ(TextOf(dialog, IDC_OBJ_ID_EDIT), "1");
        Click(dialog, IDOK);
    });
    EXPECT_EQ(filter->ShowControl(driver.Parent()), 1);
    EXPECT_FALSE(driver.Abandoned());
    EXPECT_EQ(SettingsOf(*filter), (FilterSettings{IDC_OBJ_CHANNEL, 1, 6}));
}

TEST_F(ControlDialogTest, AnUnknownStoredModeOpensWithNoButtonCheckedAndOkStoresWholeImage)
{
    FilterHandle filter = NewFilter();
    ASSERT_TRUE(StoreSettings(*filter, {1, 500, 4}));
    DialogDriver driver;
    driver.Then([](HWND dialog) {
        EXPECT_FALSE(IsChecked(dialog, IDC_WHOLE_IMAGE));
        EXPECT_FALSE(IsChecked(dialog, IDC_MTL_CHANNEL));
        EXPECT_FALSE(IsChecked(dialog, IDC_OBJ_CHANNEL));
        EXPECT_EQ(EnabledIdWindows(dialog), std::vector<bool>(4, false));
        EXPECT_EQ(TextOf(dialog, IDC_MTL_ID_EDIT), "4");
        EXPECT_EQ(TextOf(dialog, IDC_OBJ_ID_EDIT), "500");
        Click(dialog, IDOK);
    });
    EXPECT_EQ(filter->ShowControl(driver.Parent()), 1);
    EXPECT_EQ(SettingsOf(*filter), (FilterSettings{IDC_WHOLE_IMAGE, 500, 4}));
}

TEST_F(ControlDialogTest, EachOpeningStartsFromWhatTheFilterHolds)
{
    FilterHandle filter = NewFilter();
    ASSERT_TRUE(StoreSettings(*filter, {IDC_MTL_CHANNEL, 12, 2}));
    {
        DialogDriver driver;
        driver.Then([](HWND dialog) { Click(dialog, IDC_OBJ_CHANNEL); })
            .Then([](HWND dialog) { Type(dialog, IDC_OBJ_ID_EDIT, "42"); })
            .Then([](HWND) { PressKey(VK_RETURN); })
            .Then([](HWND dialog) { Click(dialog, IDCANCEL); });
        EXPECT_EQ(filter->ShowControl(driver.Parent()), 0);
    }
    DialogDriver driver;
    driver.Then([](HWND dialog) {
        EXPECT_TRUE(IsChecked(dialog, IDC_MTL_CHANNEL));
        EXPECT_FALSE(IsChecked(dialog, IDC_OBJ_CHANNEL));
        EXPECT_EQ(TextOf(dialog, IDC_MTL_ID_EDIT), "2");
        EXPECT_EQ(TextOf(dialog, IDC_OBJ_ID_EDIT), "12");
        EXPECT_EQ(EnabledIdWindows(dialog), (std::vector<bool>{true, true, false, false}));
        Click(dialog, IDOK);
    });
    EXPECT_EQ(filter->ShowControl(driver.Parent()), 1);
    EXPECT_EQ(SettingsOf(*filter), (FilterSettings{IDC_MTL_CHANNEL, 12, 2}));
}

TEST_F(ControlDialogTest, WithoutAParentTheDialogIsCentredOnTheWorkArea)
{
    FilterHandle filter = NewFilter();
    DialogDriver driver(false);
    driver.Then([](HWND dialog) {
        EXPECT_EQ(GetParent(dialog), nullptr);
        const POINT offset = CentreOffset(dialog, nullptr);
        EXPECT_LE(std::abs(offset.x), 1);
        EXPECT_LE(std::abs(offset.y), 1);
        Click(dialog, IDOK);
    });
    EXPECT_EQ(filter->ShowControl(nullptr), 1);
    EXPECT_FALSE(driver.Abandoned());
}

} // namespace
