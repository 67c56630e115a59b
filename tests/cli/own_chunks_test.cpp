// The chunks the tool decodes itself (uncompressed, RLE, ZIPS, ZIP scan lines): every sample it hands
// over equals bit for bit what OpenEXR's own readPixels gives, for each pixel type, odd widths, a
// data window away from the origin, a subsampled channel among them, part of the window, and any
// number of threads; a damaged chunk is refused naming the file.
#include <ImfChannelList.h>
#include <ImfInputFile.h>
#include <ImfInputPart.h>
#include <ImfMultiPartInputFile.h>
#include <openexr.h>
#include <unistd.h>

#include <gmock/gmock.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "base/frame_memory.h"
#include "chunks/flat_chunks.h"
#include "expect_error.h"
#include "exr/exr_input.h"
#include "exr_writing.h"

using namespace deepglass;

namespace {

using Samples = std::vector<std::uint32_t>;

std::filesystem::path TempPath(const std::string& name)
{
    return std::filesystem::temp_directory_path() /
           ("own-chunks-" + std::to_string(::getpid()) + "-" + name + ".exr");
}

struct Stored {
    std::string name;
    Imf::PixelType type;
    int ySampling = 1;
};

// A frame of `channels` over `window`: random bits (NaNs, infinities and denormals among the halves
// and floats), every third row one value throughout, so that chunks both pack and stay as they are.
void WriteFrame(const std::filesystem::path& path, const Imath::Box2i& window, Imf::Compression compression,
                const std::vector<Stored>& channels)
{
    Imf::Header header(window, window);
    header.compression() = compression;
    const int width = window.max.x - window.min.x + 1;
    const int height = window.max.y - window.min.y + 1;
    std::vector<std::vector<std::uint32_t>> held(channels.size());
    Imf::FrameBuffer buffer;
    std::mt19937 random(7);
    for (std::size_t c = 0; c < channels.size(); ++c) {
        const Stored& channel = channels[c];
        header.channels().insert(channel.name, Imf::Channel(channel.type, 1, channel.ySampling));
        const int rows = height / channel.ySampling;
        for (int y = 0; y < rows; ++y) {
            const std::uint32_t constant = random();
            for (int x = 0; x < width; ++x) held[c].push_back(y % 3 == 0 ? constant : random());
        }
        if (channel.type == Imf::HALF)
            for (std::uint32_t& bits : held[c]) bits &= 0xffff; // read as halves from the low bytes
        char* origin =
            reinterpret_cast<char*>(held[c].data()) -
            (window.min.x + static_cast<std::ptrdiff_t>(window.min.y / channel.ySampling) * width) * 4;
        buffer.insert(channel.name, Imf::Slice(channel.type, origin, 4, static_cast<std::size_t>(width) * 4,
                                               1, channel.ySampling));
    }
    WriteFlatExr(path.string(), header, buffer, false);
}

// The channels as OpenEXR's readPixels gives them, as the tool holds them: HALF and FLOAT as a
// float's bits, UINT as it is.
std::map<std::string, Samples> OpenExrSamples(const std::filesystem::path& path,
                                              const std::vector<Stored>& read)
{
    Imf::InputFile file(path.c_str());
    const Imath::Box2i window = file.header().dataWindow();
    const std::size_t width = static_cast<std::size_t>(window.max.x - window.min.x + 1);
    std::map<std::string, Samples> samples;
    Imf::FrameBuffer buffer;
    for (const Stored& channel : read) {
        Samples& held = samples[channel.name];
        held.assign(width * static_cast<std::size_t>(window.max.y - window.min.y + 1), 0);
        buffer.insert(channel.name, Imf::Slice::Make(channel.type == Imf::UINT ? Imf::UINT : Imf::FLOAT,
                                                     held.data(), window, 4, 4 * width));
    }
    file.setFrameBuffer(buffer);
    file.readPixels(window.min.y, window.max.y);
    return samples;
}

// The channels as the tool hands them over `window` (pixels outside it 0), on `threads` threads.
std::map<std::string, Samples> ToolSamples(const std::filesystem::path& path, const std::vector<Stored>& read,
                                           const PixelBox& window, int threads)
{
    ExrInput input(path.string(), {}, threads);
    const PixelBox& data = input.Layout().parts[0].frame.dataWindow;
    std::vector<ViewChannel> channels;
    std::map<std::string, Samples> samples;
    for (const Stored& channel : read) {
        for (const ViewChannel& candidate : input.Layout().channels)
            if (candidate.name == channel.name) channels.push_back(candidate);
        samples[channel.name].assign(static_cast<std::size_t>(data.Width() * data.Height()), 0);
    }
    ReadScratch scratch;
    int lastRow = -1;
    input.Read(channels, window, scratch,
               [&](std::size_t k, int row, int column, int count, const std::uint32_t* values) {
                   EXPECT_GE(row, lastRow) << "rows out of order";
                   lastRow = row;
                   const std::int64_t y = std::int64_t{window.minY} + row - data.minY;
                   const std::int64_t x = std::int64_t{window.minX} + column - data.minX;
                   std::memcpy(samples[channels[k].name].data() + y * data.Width() + x, values, count * 4u);
               });
    return samples;
}

// Keeps of `samples` only the pixels inside `window`.
void Crop(std::map<std::string, Samples>& samples, const PixelBox& data, const PixelBox& window)
{
    for (auto& [name, values] : samples)
        for (std::int64_t y = data.minY; y <= data.maxY; ++y)
            for (std::int64_t x = data.minX; x <= data.maxX; ++x)
                if (y < window.minY || y > window.maxY || x < window.minX || x > window.maxX)
                    values[(y - data.minY) * data.Width() + (x - data.minX)] = 0;
}

const Imf::Compression OWN[] = {Imf::NO_COMPRESSION, Imf::RLE_COMPRESSION, Imf::ZIPS_COMPRESSION,
                                Imf::ZIP_COMPRESSION};

} // namespace

TEST(OwnChunks, SamplesAreOpenExrsBitForBitWhateverTheThreads)
{
    const struct {
        const char* what;
        Imath::Box2i window;
        bool subsampled; // a channel at one sample every second row among those read
    } frames[] = {
        {"odd width, away from the origin", {{-3, 5}, {33, 45}}, false},
        {"one column", {{7, -20}, {7, 2}}, false},
        {"a subsampled channel between", {{-4, -6}, {30, 33}}, true},
    };
    const Imf::PixelType TYPES[] = {Imf::HALF, Imf::FLOAT, Imf::UINT};
    const std::filesystem::path path = TempPath("samples");
    for (const auto& frame : frames) {
        for (Imf::Compression compression : OWN) {
            for (Imf::PixelType type : TYPES) {
                SCOPED_TRACE(std::string(frame.what) + ", compression " + std::to_string(compression) +
                             ", type " + std::to_string(type));
                // Stored by name: A, B, C, Z, id; B and id are not read.
                std::vector<Stored> stored = {
                    {"A", type}, {"B", Imf::HALF, frame.subsampled ? 2 : 1}, {"C", type}, {"Z", Imf::FLOAT}};
                stored.push_back({"id", Imf::UINT});
                WriteFrame(path, frame.window, compression, stored);
                const std::vector<Stored> read = {stored[0], stored[2], stored[3]};
                const PixelBox data{frame.window.min.x, frame.window.min.y, frame.window.max.x,
                                    frame.window.max.y};
                const PixelBox part{data.minX + 1, data.minY + 17, data.maxX - 1, data.maxY + 30};
                for (const PixelBox& window : {data, part}) {
                    std::map<std::string, Samples> expected = OpenExrSamples(path, read);
                    Crop(expected, data, window);
                    for (int threads : {1, 3})
                        EXPECT_EQ(ToolSamples(path, read, window, threads), expected)
                            << threads << " threads";
                }
            }
        }
    }
    std::filesystem::remove(path);
}

// A chunk whose size field claims fewer bytes than it was written with (still within the file),
// or whose packed bytes are changed, is refused with the file's name, however many threads read it.
TEST(OwnChunks, ADamagedChunkIsRefusedNamingTheFile)
{
    const struct {
        const char* what;
        Imf::Compression compression;
        int shortenBy; // bytes off the second chunk's size field
        bool flip;     // a byte of its packed data changed
        const char* error;
    } cases[] = {
        {"uncompressed, short", Imf::NO_COMPRESSION, 6, false, "incomplete EXR file: the chunk of row"},
        {"RLE, short", Imf::RLE_COMPRESSION, 3, false,
         "damaged EXR file: the chunk of row 1 does not unpack"},
        {"ZIPS, short", Imf::ZIPS_COMPRESSION, 5, false,
         "damaged EXR file: the chunk of row 1 does not unpack"},
        {"ZIP, short", Imf::ZIP_COMPRESSION, 1, false,
         "damaged EXR file: the chunk of rows 16 to 31 does not"},
        {"ZIP, changed", Imf::ZIP_COMPRESSION, 0, true,
         "damaged EXR file: the chunk of rows 16 to 31 does not"},
    };
    const std::filesystem::path path = TempPath("damaged");
    const std::vector<Stored> stored = {{"A", Imf::HALF}, {"Z", Imf::FLOAT}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        WriteFrame(path, {{0, 0}, {40, 40}}, test.compression, stored);
        // The second chunk, as the file's chunk table places it.
        exr_context_t context = nullptr;
        ASSERT_EQ(exr_start_read(&context, path.c_str(), nullptr), EXR_ERR_SUCCESS);
        exr_chunk_info_t chunk{};
        ASSERT_EQ(exr_read_scanline_chunk_info(context, 0, test.compression == Imf::ZIP_COMPRESSION ? 16 : 1,
                                               &chunk),
                  EXR_ERR_SUCCESS);
        exr_finish(&context);
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        if (test.shortenBy != 0) {
            const std::int32_t size = static_cast<std::int32_t>(chunk.packed_size) - test.shortenBy;
            file.seekp(static_cast<std::streamoff>(chunk.data_offset) - 4);
            file.write(reinterpret_cast<const char*>(&size), 4);
        }
        if (test.flip) {
            file.seekp(static_cast<std::streamoff>(chunk.data_offset + chunk.packed_size / 2));
            file.put('\x5a');
        }
        file.close();
        for (int threads : {1, 3})
            ExpectError(
                [&] {
                    ToolSamples(path, stored, {0, 0, 40, 40}, threads);
                },
                path.string() + ": " + test.error);
    }
    std::filesystem::remove(path);
}

// The strip of decoded rows holds no more rows than a read spans, and decoding threads are added
// only while the strip and their chunks fit in what the read is allowed.
TEST(OwnChunks, TheStripHoldsTheRowsReadAndTheThreadsItsAllowanceHolds)
{
    const std::filesystem::path path = TempPath("strip");
    const std::vector<Stored> stored = {{"A", Imf::HALF}, {"Z", Imf::FLOAT}};
    const struct {
        Imath::Box2i window;
        Imf::Compression compression;
        std::uint64_t allowance;
        std::size_t rows, threads; // the strip's rows and the decoding threads
    } cases[] = {
        {{{0, 0}, {999, 0}}, Imf::ZIP_COMPRESSION, 0, 1, 1},                    // one row of a chunk of 16
        {{{0, 0}, {99, 999}}, Imf::NO_COMPRESSION, 0, 8 * STRIP_ROWS, 8},       // STRIP_ROWS a thread
        {{{0, 0}, {99, 999}}, Imf::NO_COMPRESSION, 60000, STRIP_ROWS, 1},       // room for one thread's strip
        {{{0, 0}, {99, 999}}, Imf::ZIP_COMPRESSION, 200000, 4 * STRIP_ROWS, 4}, // and for four
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(std::to_string(test.window.max.y + 1) + " rows, allowance " +
                     std::to_string(test.allowance));
        WriteFrame(path, test.window, test.compression, stored);
        ExrInput input(path.string(), {}, 8);
        ReadScratch scratch;
        scratch.allowance = test.allowance;
        input.Read({input.Layout().channels[0]}, input.Layout().parts[0].frame.dataWindow, scratch,
                   [](std::size_t, int, int, int, const std::uint32_t*) {});
        const std::size_t width = static_cast<std::size_t>(test.window.max.x + 1);
        EXPECT_EQ(scratch.rows.size(), test.rows * width);
        EXPECT_EQ(scratch.chunks.size(), test.threads);
    }
    std::filesystem::remove(path);
}

// A chunk that holds nothing, the first its thread decodes, is refused as any short chunk is
// (copying nothing into a thread's chunk that has no memory yet); OpenEXR's own checks of a file
// as it is opened are passed over to reach it.
TEST(OwnChunks, AnEmptyChunkIsRefused)
{
    const std::filesystem::path path = TempPath("empty");
    const std::vector<Stored> stored = {{"Z", Imf::FLOAT}};
    WriteFrame(path, {{0, 0}, {7, 3}}, Imf::ZIPS_COMPRESSION, stored);
    exr_context_t context = nullptr;
    ASSERT_EQ(exr_start_read(&context, path.c_str(), nullptr), EXR_ERR_SUCCESS);
    exr_chunk_info_t chunk{};
    ASSERT_EQ(exr_read_scanline_chunk_info(context, 0, 0, &chunk), EXR_ERR_SUCCESS);
    exr_finish(&context);
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        const std::int32_t size = 0;
        file.seekp(static_cast<std::streamoff>(chunk.data_offset) - 4);
        file.write(reinterpret_cast<const char*>(&size), 4);
    }
    Imf::MultiPartInputFile file(path.c_str());
    Imf::InputPart part(file, 0);
    std::vector<std::uint32_t> rows;
    std::vector<ChunkScratch> chunks;
    ExpectError<ExrReadFailure>(
        [&] {
            ReadOwnChunks(part, file.header(0), {"Z"}, 0, 3, 0, 7, 1, 0, rows, chunks,
                          [](std::size_t, int, const std::uint32_t*) {});
        },
        "the chunk of row 0 does not unpack");
    std::filesystem::remove(path);
}
