#include "claims/exr_claims.h"

#include <openexr.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/frame_memory.h"
#include "base/number_text.h"

namespace deepglass {

namespace {

// Each chunk's offset in the part's chunk table.
constexpr std::uint64_t TABLE_ENTRY_BYTES = 8;

// The version field's flag for files with deep parts (bit 11 of the 32-bit field at byte 4).
constexpr std::uint64_t DEEP_FLAG_BYTE = 5;
constexpr unsigned char DEEP_FLAG_BIT = 0x08;
// What OpenEXR 3.1's core says of a file with deep parts whose flat parts have no version
// attribute, as OpenEXR's own C++ library writes them.
constexpr const char* FLAT_PART_WITHOUT_VERSION = "'version' attribute for deep file not found";

struct Input {
    const ByteSource* source;
    std::uint64_t size;
    std::string firstError;
    bool hideDeepFlag = false;
};

std::int64_t ReadBytes(exr_const_context_t, void* user, void* buffer, std::uint64_t count,
                       std::uint64_t offset, exr_stream_error_func_ptr_t)
{
    const auto* input = static_cast<Input*>(user);
    if (offset >= input->size) return 0;
    const std::uint64_t wanted = std::min(count, input->size - offset);
    const std::size_t read = (*input->source)(offset, buffer, static_cast<std::size_t>(wanted));
    if (input->hideDeepFlag && offset <= DEEP_FLAG_BYTE && DEEP_FLAG_BYTE < offset + read)
        static_cast<unsigned char*>(buffer)[DEEP_FLAG_BYTE - offset] &=
            static_cast<unsigned char>(~DEEP_FLAG_BIT);
    return static_cast<std::int64_t>(read);
}

std::int64_t InputSize(exr_const_context_t, void* user)
{
    return static_cast<std::int64_t>(static_cast<Input*>(user)->size);
}

void KeepFirstError(exr_const_context_t context, exr_result_t code, const char* message)
{
    void* user = nullptr;
    if (exr_get_user_data(context, &user) != EXR_ERR_SUCCESS || user == nullptr) return;
    auto* input = static_cast<Input*>(user);
    if (input->firstError.empty())
        input->firstError = message != nullptr ? message : exr_get_default_error_message(code);
}

// Closes the context however the check ends.
struct Context {
    exr_context_t handle = nullptr;
    ~Context() { exr_finish(&handle); }
};

// The samples of one part, as the reader will hold them.
std::uint64_t SampleBytes(const exr_attr_box2i_t& window, const exr_attr_chlist_t& channels)
{
    const std::uint64_t width = static_cast<std::uint64_t>(std::int64_t{window.max.x} - window.min.x + 1);
    const std::uint64_t height = static_cast<std::uint64_t>(std::int64_t{window.max.y} - window.min.y + 1);
    std::uint64_t bytes = 0;
    for (int i = 0; i < channels.num_channels; ++i) {
        const exr_attr_chlist_entry_t& channel = channels.entries[i];
        const std::uint64_t xs = static_cast<std::uint64_t>(std::max(channel.x_sampling, 1));
        const std::uint64_t ys = static_cast<std::uint64_t>(std::max(channel.y_sampling, 1));
        bytes += (width / xs) * (height / ys) * HELD_SAMPLE_BYTES;
    }
    return bytes;
}

// Whether every chunk of the part's full-resolution level lies within the input, as its chunk
// table and each chunk's own leader say.
bool ChunksWithinInput(exr_context_t context, int part, const exr_attr_box2i_t& window, exr_storage_t storage)
{
    exr_chunk_info_t chunk{};
    if (storage == EXR_STORAGE_SCANLINE || storage == EXR_STORAGE_DEEP_SCANLINE) {
        std::int32_t lines = 0;
        if (exr_get_scanlines_per_chunk(context, part, &lines) != EXR_ERR_SUCCESS || lines < 1) return false;
        for (std::int64_t y = window.min.y; y <= window.max.y; y += lines)
            if (exr_read_scanline_chunk_info(context, part, static_cast<int>(y), &chunk) != EXR_ERR_SUCCESS)
                return false;
        return true;
    }
    std::int32_t tileWidth = 0, tileHeight = 0;
    if (exr_get_tile_sizes(context, part, 0, 0, &tileWidth, &tileHeight) != EXR_ERR_SUCCESS ||
        tileWidth < 1 || tileHeight < 1)
        return false;
    const std::int64_t across = (std::int64_t{window.max.x} - window.min.x + tileWidth) / tileWidth;
    const std::int64_t down = (std::int64_t{window.max.y} - window.min.y + tileHeight) / tileHeight;
    for (std::int64_t ty = 0; ty < down; ++ty)
        for (std::int64_t tx = 0; tx < across; ++tx)
            if (exr_read_tile_chunk_info(context, part, static_cast<int>(tx), static_cast<int>(ty), 0, 0,
                                         &chunk) != EXR_ERR_SUCCESS)
                return false;
    return true;
}

std::string Claimed(std::uint64_t bytes) { return "its headers claim " + MemoryText(bytes) + " of samples"; }

} // namespace

std::string ClaimsProblem(const ByteSource& source, std::uint64_t size, std::uint64_t budget)
{
    Input input{&source, size, {}};
    exr_context_initializer_t init = EXR_DEFAULT_CONTEXT_INITIALIZER;
    init.user_data = &input;
    init.read_fn = ReadBytes;
    init.size_fn = InputSize;
    init.error_handler_fn = KeepFirstError;
    // A missing chunk is reported rather than searched for through the rest of the file.
    init.flags = EXR_CONTEXT_FLAG_DISABLE_CHUNK_RECONSTRUCTION;
    Context context;
    // The core library gets past some faults of a header (an attribute whose size cannot be) and
    // only reports them; OpenEXR's C++ library would act on those same bytes.
    bool started = exr_start_read(&context.handle, "input", &init) == EXR_ERR_SUCCESS;
    if (!started && input.firstError == FLAT_PART_WITHOUT_VERSION) {
        // This core wants a version attribute on the flat parts of a file with deep parts too,
        // which OpenEXR's own writer gives only the deep ones. Told there are no deep parts, it
        // checks everything else of every header and chunk table alike; it still knows each
        // deep part by its type.
        exr_finish(&context.handle);
        input.firstError.clear();
        input.hideDeepFlag = true;
        started = exr_start_read(&context.handle, "input", &init) == EXR_ERR_SUCCESS;
    }
    if (!started || !input.firstError.empty())
        return "damaged or truncated EXR file (" + input.firstError + ")";

    int parts = 0;
    exr_get_count(context.handle, &parts);
    std::uint64_t claimed = 0;
    std::uint64_t chunks = 0;
    for (int part = 0; part < parts; ++part) {
        exr_storage_t storage = EXR_STORAGE_LAST_TYPE;
        exr_attr_box2i_t window{};
        const exr_attr_chlist_t* channels = nullptr;
        std::int32_t count = 0;
        if (exr_get_storage(context.handle, part, &storage) != EXR_ERR_SUCCESS ||
            exr_get_data_window(context.handle, part, &window) != EXR_ERR_SUCCESS ||
            exr_get_channels(context.handle, part, &channels) != EXR_ERR_SUCCESS ||
            exr_get_chunk_count(context.handle, part, &count) != EXR_ERR_SUCCESS || count < 0)
            return "damaged or truncated EXR file (" + input.firstError + ")";
        // A deep part's samples are claimed by its sample counts, which its reader checks.
        if (storage == EXR_STORAGE_SCANLINE || storage == EXR_STORAGE_TILED)
            claimed += SampleBytes(window, *channels);
        chunks += static_cast<std::uint64_t>(count);
    }
    // Every chunk has an entry in its part's table, so the tables alone must fit in the file.
    if (chunks * TABLE_ENTRY_BYTES > size)
        return "damaged or truncated EXR file: " + Claimed(claimed) + " in " + std::to_string(chunks) +
               " chunks, whose tables alone would not fit in its " + MemoryText(size);
    if (budget != 0 && claimed > budget)
        return Claimed(claimed) + ", more than the " + MemoryText(budget) +
               " one frame may take (--max-memory sets the budget)";
    for (int part = 0; part < parts; ++part) {
        exr_storage_t storage = EXR_STORAGE_LAST_TYPE;
        exr_attr_box2i_t window{};
        exr_get_storage(context.handle, part, &storage);
        exr_get_data_window(context.handle, part, &window);
        if (!ChunksWithinInput(context.handle, part, window, storage))
            return "damaged or truncated EXR file: " + Claimed(claimed) +
                   ", but not every chunk of them lies within its " + MemoryText(size);
    }
    return {};
}

} // namespace deepglass
