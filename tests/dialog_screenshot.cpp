// Opens one dialog of the built module as a host would and holds it open for a screenshot.
//
//   dialog_screenshot control whole|material|object     the control dialog in that mode
//   dialog_screenshot about                              the About box
//
// Once the dialog has drawn itself and its loop is idle, the program prints
// "ready <left> <top> <width> <height>" (the dialog's screen rectangle) and waits for a line on
// its standard input; then it closes the dialog.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "dialog_driver.h"
#include "module_file.h"
#include "module_loader.h"
#include "resource_ids.h"

namespace {

void WaitForShot(HWND dialog)
{
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    GdiFlush();
    // Wine hands a window's drawing to the X server when its thread next waits for messages; the
    // dialog's loop has not waited yet when it reports idle, so wait once here, without blocking.
    MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, 0);
    RECT rect;
    GetWindowRect(dialog, &rect);
    std::printf("ready %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
    std::fflush(stdout);
    char line[16];
    if (std::fgets(line, sizeof line, stdin) == nullptr)
        std::fprintf(stderr, "no answer on standard input\n");
}

int Usage()
{
    std::fprintf(stderr, "usage: dialog_screenshot control whole|material|object\n"
                         "       dialog_screenshot about\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return Usage();
    const std::string dialogName = argv[1];
    std::int32_t mode = IDC_WHOLE_IMAGE;
    if (dialogName == "control") {
        const std::string modeName = argc > 2 ? argv[2] : "";
        if (modeName == "material")
            mode = IDC_MTL_CHANNEL;
        else if (modeName == "object")
            mode = IDC_OBJ_CHANNEL;
        else if (modeName != "whole")
            return Usage();
    } else if (dialogName != "about") {
        return Usage();
    }

    std::string error;
    std::unique_ptr<LoadedModule> module = LoadedModule::Load(ModuleBesideExecutable(), error);
    if (module == nullptr) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    auto* filter = static_cast<ImageFilter*>(module->LibClassDesc(0)->Create(0));
    if (filter == nullptr || !StoreSettings(*filter, {mode, 300, 3})) {
        std::fprintf(stderr, "the module made no usable filter\n");
        return 1;
    }

    INT_PTR result = 0;
    {
        DialogDriver driver;
        driver.Then(WaitForShot).Then([](HWND dialog) { Click(dialog, IDCANCEL); });
        result = dialogName == "control" ? filter->ShowControl(driver.Parent())
                                         : filter->DisplayAbout(driver.Parent());
    }
    delete filter;
    return result == -1 ? 1 : 0;
}
