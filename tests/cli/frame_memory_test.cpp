// The account of a frame's memory holds what the libraries it counts take for their own
// workspaces, as measured here on the libraries the tool is built with.
#include <libdeflate.h>
#include <malloc.h>

#include <gmock/gmock.h>

#include "base/frame_memory.h"

using namespace deepglass;

namespace {

// The heap memory `make` allocates and leaves allocated.
template <typename Make>
std::uint64_t Allocated(Make&& make)
{
    const struct mallinfo2 before = mallinfo2();
    make();
    const struct mallinfo2 after = mallinfo2();
    return (after.uordblks + after.hblkhd) - (before.uordblks + before.hblkhd);
}

TEST(FrameMemory, LibdeflatesWorkspacesTakeNoMoreThanTheAccountSays)
{
    for (int level = 0; level <= 12; ++level) {
        libdeflate_compressor* compressor = nullptr;
        EXPECT_LE(Allocated([&] { compressor = libdeflate_alloc_compressor(level); }), DeflaterBytes(level))
            << "level " << level;
        libdeflate_free_compressor(compressor);
    }
    libdeflate_decompressor* decompressor = nullptr;
    EXPECT_LE(Allocated([&] { decompressor = libdeflate_alloc_decompressor(); }), INFLATER_BYTES);
    libdeflate_free_decompressor(decompressor);
}

} // namespace
