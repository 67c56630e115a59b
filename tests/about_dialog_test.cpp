// The About box of the built module, run in the platform's real dialog manager.
#include <gtest/gtest.h>

#include "dialog_driver.h"
#include "dialog_module.h"
#include "resource_ids.h"

namespace {

using AboutDialogTest = DialogModuleTest;

// The bitmap static: the last static control before the web-address line, the 7th child.
HWND LogoControl(HWND dialog)
{
    HWND child = GetWindow(dialog, GW_CHILD);
    for (int i = 1; i < 7 && child != nullptr; ++i) child = GetWindow(child, GW_HWNDNEXT);
    return child;
}

TEST_F(AboutDialogTest, OkAnswersOneCentredOverTheParentWithTheLogoShown)
{
    FilterHandle filter = NewFilter();
    const FilterSettings stored{IDC_OBJ_CHANNEL, 300, 7};
    ASSERT_TRUE(StoreSettings(*filter, stored));
    DialogDriver driver;
    HBITMAP shownLogo = nullptr;
    driver.Then([&](HWND dialog) {
        const POINT offset = CentreOffset(dialog, driver.Parent());
        EXPECT_LE(std::abs(offset.x), 1);
        EXPECT_LE(std::abs(offset.y), 1);
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));

        const HWND logo = LogoControl(dialog);
        ASSERT_NE(logo, nullptr);
        const auto bitmap = reinterpret_cast<HBITMAP>(SendMessageA(logo, STM_GETIMAGE, IMAGE_BITMAP, 0));
        ASSERT_NE(bitmap, nullptr);
        BITMAP shown{};
        ASSERT_NE(GetObjectA(bitmap, sizeof shown, &shown), 0);
        EXPECT_EQ(shown.bmWidth, 130);
        EXPECT_EQ(shown.bmHeight, 32);
        shownLogo = bitmap;
        Click(dialog, IDOK);
    });
    EXPECT_EQ(filter->DisplayAbout(driver.Parent()), 1);
    EXPECT_FALSE(driver.Abandoned());
    EXPECT_EQ(SettingsOf(*filter), stored);
    EXPECT_FALSE(IsWindow(driver.Dialog()));
    // The logo went with the box: it is no GDI object any more.
    ASSERT_NE(shownLogo, nullptr);
    EXPECT_EQ(GetObjectType(shownLogo), 0u);
}

TEST_F(AboutDialogTest, EnterPressesOkWhileEscapeAndTheCloseBoxAnswerZero)
{
    FilterHandle filter = NewFilter();
    const FilterSettings stored = SettingsOf(*filter);
    struct Ending {
        std::function<void(HWND)> act;
        INT_PTR endCode;
    };
    const Ending endings[] = {
        {[](HWND) { PressKey(VK_RETURN); }, 1},
        {[](HWND) { PressKey(VK_ESCAPE); }, 0},
        {[](HWND dialog) { CloseBox(dialog); }, 0},
    };
    for (const Ending& ending : endings) {
        DialogDriver driver;
        driver.Then(ending.act);
        EXPECT_EQ(filter->DisplayAbout(driver.Parent()), ending.endCode);
        EXPECT_FALSE(driver.Abandoned());
        EXPECT_EQ(SettingsOf(*filter), stored);
    }
}

} // namespace
