// Many lives of filters, and of the module itself, through the built module file as a host drives
// them: every life must give back all it took. Counted are the C runtime's heap, and on Windows
// also every heap of the process, the kernel handles and the GDI and USER objects.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

#include "frames.h"
#include "image_filter.h"
#include "module_file.h"
#include "module_loader.h"
#include "records.h"

namespace {

constexpr int FILTER_LIVES = 10000;
constexpr int MODULE_LOADS = 300;

struct Footprint {
    long long heapBytes = 0;
    long long processHeapBytes = 0;
    long long handles = 0;
    long long guiObjects = 0;
};

Footprint Measure()
{
    Footprint footprint;
    footprint.heapBytes = static_cast<long long>(HeapBytesInUse());
#ifdef _WIN32
    // Every heap of the process, so that memory taken past the C runtime would show as well.
    std::array<HANDLE, 256> heaps{};
    const DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    for (DWORD i = 0; i < count && i < heaps.size(); ++i) {
        PROCESS_HEAP_ENTRY entry{};
        HeapLock(heaps[i]);
        while (HeapWalk(heaps[i], &entry)) {
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) footprint.processHeapBytes += entry.cbData;
        }
        HeapUnlock(heaps[i]);
    }
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    footprint.handles = handles;
    footprint.guiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) +
                           GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
#endif
    return footprint;
}

void Report(const char* what, const Footprint& before, const Footprint& after)
{
    std::printf(
        "%s: heap %lld -> %lld, process heaps %lld -> %lld, handles %lld -> %lld, GDI+USER %lld -> %lld\n",
        what, before.heapBytes, after.heapBytes, before.processHeapBytes, after.processHeapBytes,
        before.handles, after.handles, before.guiObjects, after.guiObjects);
}

// One filter's life with every operation a host uses outside the dialogs; the answer is the
// number of operations that answered as they should (12).
int FilterLife(LoadedModule& module, Bitmap& bitmap, MemoryStorage& storage, int life)
{
    auto* filter = static_cast<ImageFilter*>(module.LibClassDesc(0)->Create(0));
    if (filter == nullptr) return 0;
    int good = 0;
    good += filter->ProductName() != nullptr && filter->AuthorLine() != nullptr &&
            filter->RightsNotice() != nullptr;
    good += filter->VersionWord() == FILTER_TAG;
    good += filter->EvaluateConfigure() == 16;
    std::array<unsigned char, 16> saved{};
    good += filter->SaveConfigure(saved.data()) == 1;
    const std::array<unsigned char, 16> wrongTag{};
    good += filter->LoadConfigure(const_cast<unsigned char*>(wrongTag.data())) == 0;
    good += filter->Render(0) == 0; // no source yet
    filter->SetSource(&bitmap);
    const std::int32_t modes[] = {1010, 1011, 1012};
    const std::uint32_t channels[] = {1, 3, 5};
    for (int m = 0; m < 3; ++m) {
        auto record = MakeRecord(modes[m], 1 + life % 7, 1 + life % 3);
        good += filter->LoadConfigure(record.data()) == 1 && filter->ChannelsRequired() == channels[m];
        good += filter->Render(0) == 1;
    }
    storage.ClearCalls();
    delete filter;
    return good;
}

ReferenceFrame Scene()
{
    ReferenceFrame frame = MakeFrame(16, 8, {});
    for (std::size_t i = 0; i < frame.depth.size(); ++i)
        frame.depth[i] = i % 9 == 0 ? -1e30f : -1.0f - static_cast<float>(i);
    frame.materialIds = std::vector<std::uint8_t>(frame.depth.size());
    frame.objectIds = std::vector<std::uint16_t>(frame.depth.size());
    for (std::size_t i = 0; i < frame.depth.size(); ++i) {
        (*frame.materialIds)[i] = static_cast<std::uint8_t>(i % 4);
        (*frame.objectIds)[i] = static_cast<std::uint16_t>(i % 8);
    }
    return frame;
}

TEST(FilterCycles, TenThousandFilterLivesLeaveNothingBehind)
{
    std::string error;
    auto module = LoadedModule::Load(ModuleBesideExecutable(), error);
    ASSERT_NE(module, nullptr) << error;
    auto storage = MakeStorage(Scene());
    Bitmap bitmap(storage.get());

    for (int life = 0; life < 100; ++life) FilterLife(*module, bitmap, *storage, life); // the heap settles
    const Footprint before = Measure();
    int good = 0;
    for (int life = 0; life < FILTER_LIVES; ++life) good += FilterLife(*module, bitmap, *storage, life);
    const Footprint after = Measure();
    Report("filter lives", before, after);

    EXPECT_EQ(good, 12 * FILTER_LIVES);
    EXPECT_EQ(after.heapBytes, before.heapBytes);
    EXPECT_EQ(after.processHeapBytes, before.processHeapBytes);
    EXPECT_EQ(after.handles, before.handles);
    EXPECT_EQ(after.guiObjects, before.guiObjects);
}

TEST(FilterCycles, LoadingAndUnloadingTheModuleLeavesNothingBehind)
{
#ifdef _WIN32
    // A real host keeps its own libraries loaded for its whole life; only the module comes and goes.
    ASSERT_NE(LoadLibraryA("core.dll"), nullptr);
#endif
    auto storage = MakeStorage(Scene());
    Bitmap bitmap(storage.get());
    auto load = [&](int life) {
        std::string error;
        auto module = LoadedModule::Load(ModuleBesideExecutable(), error);
        return module != nullptr && FilterLife(*module, bitmap, *storage, life) == 12;
    };
    for (int life = 0; life < 10; ++life) load(life);
    const Footprint before = Measure();
    int loaded = 0;
    for (int life = 0; life < MODULE_LOADS; ++life) loaded += load(life);
    const Footprint after = Measure();
    Report("module loads", before, after);

    EXPECT_EQ(loaded, MODULE_LOADS);
    EXPECT_EQ(after.heapBytes, before.heapBytes);
    // The platform's loader may keep a little bookkeeping of its own across loads in its heaps.
    EXPECT_LE(after.processHeapBytes - before.processHeapBytes, 4096);
    EXPECT_EQ(after.handles, before.handles);
    EXPECT_EQ(after.guiObjects, before.guiObjects);
}

} // namespace
