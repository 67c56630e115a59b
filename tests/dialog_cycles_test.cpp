// Hundreds of openings and closings of both dialogs of the built module leave nothing behind:
// no spinner interface, no window, no GDI or USER object, no memory.
#include <gtest/gtest.h>
#include <windows.h>

#include <psapi.h> // after windows.h, whose types it uses

#include <cstdio>

#include "core_record.h"
#include "dialog_driver.h"
#include "dialog_module.h"
#include "module_file.h"
#include "resource_ids.h"

namespace {

constexpr int WARM_UP_CYCLES = 20;
constexpr int MEASURED_CYCLES = 300;
// Room for the allocator's and the platform's own bookkeeping; a leak of even a few hundred bytes
// a cycle exceeds it.
constexpr long long HEAP_SLACK_BYTES = 16 * 1024;
constexpr long long COMMITTED_SLACK_BYTES = 1024 * 1024;

struct Footprint {
    int spinners;
    int windows;
    long long gdiObjects;
    long long userObjects;
    long long heapBytes;
    long long committedBytes;
};

Footprint Measure()
{
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof memory);
    return {LiveSpinnerCount(),
            ThreadWindowCount(),
            static_cast<long long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)),
            static_cast<long long>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)),
            static_cast<long long>(HeapBytesInUse()),
            static_cast<long long>(memory.PagefileUsage)};
}

void ExpectNothingLeft(const Footprint& before, const Footprint& after)
{
    std::printf(
        "spinners %d -> %d, windows %d -> %d, GDI %lld -> %lld, USER %lld -> %lld, heap %lld -> %lld, "
        "committed %lld -> %lld\n",
        before.spinners, after.spinners, before.windows, after.windows, before.gdiObjects, after.gdiObjects,
        before.userObjects, after.userObjects, before.heapBytes, after.heapBytes, before.committedBytes,
        after.committedBytes);
    EXPECT_EQ(after.spinners, 0);
    EXPECT_EQ(after.windows, before.windows);
    EXPECT_EQ(after.gdiObjects, before.gdiObjects);
    EXPECT_EQ(after.userObjects, before.userObjects);
    EXPECT_LE(after.heapBytes - before.heapBytes, HEAP_SLACK_BYTES);
    EXPECT_LE(after.committedBytes - before.committedBytes, COMMITTED_SLACK_BYTES);
}

using DialogCyclesTest = DialogModuleTest;

// One opening of the control dialog, ended in one of its three ways by `cycle`.
void ControlCycle(ImageFilter& filter, int cycle)
{
    DialogDriver driver;
    driver.Then([cycle](HWND dialog) {
        Click(dialog, cycle % 2 == 0 ? IDC_OBJ_CHANNEL : IDC_MTL_CHANNEL);
        ClickSpinner(dialog, cycle % 2 == 0 ? IDC_OBJ_ID_SPIN : IDC_MTL_ID_SPIN, true);
    });
    driver.Then([cycle](HWND dialog) {
        if (cycle % 3 == 0) Click(dialog, IDOK);
        if (cycle % 3 == 1) Click(dialog, IDCANCEL);
        if (cycle % 3 == 2) CloseBox(dialog);
    });
    const int result = filter.ShowControl(driver.Parent());
    EXPECT_EQ(result, cycle % 3 == 0 ? 1 : 0);
    EXPECT_FALSE(driver.Abandoned());
}

void AboutCycle(ImageFilter& filter, int cycle)
{
    DialogDriver driver;
    driver.Then([cycle](HWND dialog) {
        if (cycle % 2 == 0)
            Click(dialog, IDOK);
        else
            PressKey(VK_ESCAPE);
    });
    EXPECT_EQ(filter.DisplayAbout(driver.Parent()), cycle % 2 == 0 ? 1 : 0);
    EXPECT_FALSE(driver.Abandoned());
}

TEST_F(DialogCyclesTest, ControlDialogOpenedAndClosedHundredsOfTimesLeavesNothingBehind)
{
    FilterHandle filter = NewFilter();
    for (int cycle = 0; cycle < WARM_UP_CYCLES; ++cycle) ControlCycle(*filter, cycle);
    const Footprint before = Measure();
    for (int cycle = 0; cycle < MEASURED_CYCLES && !HasFailure(); ++cycle) ControlCycle(*filter, cycle);
    ExpectNothingLeft(before, Measure());
    // Every OK stepped one of the IDs up once; the limits cap the material ID at 8.
    EXPECT_EQ(SettingsOf(*filter).materialId, 8);
}

TEST_F(DialogCyclesTest, AboutBoxOpenedAndClosedHundredsOfTimesLeavesNothingBehind)
{
    FilterHandle filter = NewFilter();
    for (int cycle = 0; cycle < WARM_UP_CYCLES; ++cycle) AboutCycle(*filter, cycle);
    const Footprint before = Measure();
    for (int cycle = 0; cycle < MEASURED_CYCLES && !HasFailure(); ++cycle) AboutCycle(*filter, cycle);
    ExpectNothingLeft(before, Measure());
}

} // namespace
