// The memory budget holds: a frame the budget admits peaks within it plus the tool's own fixed
// cost, and one it does not is refused with what it would take, whatever the frame's shape, the
// compression of its chunks and the output; large pictures are read back or described within it.
#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <png.h>

#include <gmock/gmock.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "base/frame_memory.h"
#include "cli_support.h"
#include "exr_writing.h"

using ::testing::HasSubstr;

namespace {

class Memory : public CliTest {
protected:
    void SetUp() override
    {
#ifdef DEEPGLASS_SANITIZED
        GTEST_SKIP() << "the sanitizers' own memory is no measure of the tool's";
#endif
        CliTest::SetUp();
    }

    ToolRun Measured(const std::vector<std::string>& arguments)
    {
        RunLimits limits;
        limits.measureMemory = true;
        return Run(arguments, limits);
    }

    // The peak of the tool filtering a 1 x 1 frame: its code, its libraries and the module, within
    // the account's figure for them.
    long FixedKilobytes()
    {
        WriteFrame("tiny.exr", 1, 1, Imf::ZIP_COMPRESSION);
        const ToolRun run = Measured({"apply", "tiny.exr", "-o", "tiny.png"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_LE(run.peakKilobytes, static_cast<long>(deepglass::TOOL_FIXED_BYTES >> 10));
        return run.peakKilobytes;
    }

    // R, G, B, A (HALF) and Z (FLOAT, a depth a column), every row alike.
    void WriteFrame(const std::string& name, int width, int height, Imf::Compression compression)
    {
        Imf::Header header(width, height);
        header.compression() = compression;
        const std::size_t columns = static_cast<std::size_t>(width);
        std::vector<half> colour[4];
        std::vector<float> depth(columns);
        for (std::size_t x = 0; x < columns; ++x) depth[x] = 1.0f + static_cast<float>(x % 977);
        Imf::FrameBuffer buffer;
        for (int c = 0; c < 4; ++c) {
            colour[c].assign(columns, half(0.25f * static_cast<float>(c + 1)));
            header.channels().insert(std::string(1, "RGBA"[c]), Imf::Channel(Imf::HALF));
            buffer.insert(std::string(1, "RGBA"[c]),
                          Imf::Slice(Imf::HALF, reinterpret_cast<char*>(colour[c].data()), sizeof(half), 0));
        }
        header.channels().insert("Z", Imf::Channel(Imf::FLOAT));
        buffer.insert("Z", Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(depth.data()), sizeof(float), 0));
        WriteFlatExr(Path(name).string(), header, buffer, false);
    }

    // An 8-bit grey picture, every level 128, without a depth mapping.
    void WritePicture(const std::string& name, int width, int height)
    {
        std::FILE* file = std::fopen(Path(name).c_str(), "wb");
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        std::vector<unsigned char> row(static_cast<std::size_t>(width), 128);
        for (int y = 0; y < height; ++y) png_write_row(png, row.data());
        png_write_end(png, nullptr);
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
    }
};

// What a refusal says the frame would take (its samples, or all of it), in megabytes rounded up.
long TakesMegabytes(const std::string& error)
{
    for (const char* said : {"takes ", "claim "}) {
        const std::size_t at = error.find(said);
        if (at == std::string::npos) continue;
        std::istringstream figure(error.substr(at + std::strlen(said)));
        double number = 0;
        std::string unit;
        if (!(figure >> number >> unit)) return -1;
        const double scale = unit == "KB" ? 1.0 / 1024 : unit == "GB" ? 1024 : unit == "MB" ? 1 : -1;
        return static_cast<long>(std::ceil(number * scale));
    }
    return -1;
}

// FFmpeg's libraries are loaded only by a run that writes or reads a video, and add no more than
// their figure to the fixed cost then; a picture's run stays within the fixed cost without them.
TEST_F(Memory, OnlyAVideoLoadsTheVideoLibrary)
{
    FixedKilobytes();
    WriteFrame("small.exr", 2, 2, Imf::ZIP_COMPRESSION);
    const long withVideo =
        static_cast<long>((deepglass::TOOL_FIXED_BYTES + deepglass::VIDEO_LIBRARY_BYTES) >> 10);
    for (const std::vector<std::string>& line :
         std::vector<std::vector<std::string>>{{"apply", "small.exr", "-o", "small.mkv"},
                                               {"apply", "small.exr", "-o", "small.mp4"},
                                               {"info", "small.mkv"},
                                               {"depth", "small.mp4", "-o", "back.%04d.exr"}}) {
        const ToolRun run = Measured(line);
        EXPECT_EQ(run.status, 0) << line.back() << ": " << run.err;
        EXPECT_LE(run.peakKilobytes, withVideo) << line.back();
    }
}

TEST_F(Memory, EveryFrameShapeAndCompressionPeaksWithinTheBudgetThatAdmitsIt)
{
    const long fixed = FixedKilobytes();
    const struct {
        const char* name;
        int width, height;
    } shapes[] = {{"wide", 65535, 16}, {"row", 65535, 1}, {"tall", 16, 65535}};
    const std::pair<const char*, Imf::Compression> compressions[] = {{"none", Imf::NO_COMPRESSION},
                                                                     {"rle", Imf::RLE_COMPRESSION},
                                                                     {"zips", Imf::ZIPS_COMPRESSION},
                                                                     {"zip", Imf::ZIP_COMPRESSION}};
    const std::vector<std::string> routes[] = {
        {"-o", "out.png"}, {"-o", "out.exr"}, {"--mode", "material", "--id", "1", "-o", "out.png"}};
    for (const auto& shape : shapes) {
        for (const auto& [compression, code] : compressions) {
            const std::string input = std::string(shape.name) + "-" + compression + ".exr";
            WriteFrame(input, shape.width, shape.height, code);
            for (const std::vector<std::string>& route : routes) {
                SCOPED_TRACE(input + " " + route.back());
                // From 1 MB up, to what each refusal says the frame takes, until it is admitted.
                std::vector<std::string> line = {"apply", input, "--max-memory", "1M"};
                line.insert(line.end(), route.begin(), route.end());
                for (long budget = 1, refusals = 0; refusals < 3; ++refusals) {
                    line[3] = std::to_string(budget) + "M";
                    const ToolRun run = Measured(line);
                    if (run.status == 0) {
                        EXPECT_LE(run.peakKilobytes, budget * 1024 + fixed) << budget << " MB admitted it";
                        // Nor is a frame of one row charged the 16 rows of a ZIP chunk it does not have.
                        if (shape.height == 1) {
                            EXPECT_LE(budget * 1024, 3 * run.peakKilobytes + 16 * 1024)
                                << budget << " MB admitted it";
                        }
                        break;
                    }
                    EXPECT_EQ(run.status, 1);
                    EXPECT_THAT(run.err, HasSubstr("error: " + input + ": "));
                    EXPECT_THAT(run.err, HasSubstr("(--max-memory sets the budget"));
                    EXPECT_LT(run.peakKilobytes, fixed + 4096);
                    const long takes = TakesMegabytes(run.err);
                    ASSERT_GE(takes, budget) << run.err;
                    budget = takes + 1;
                    EXPECT_LT(refusals, 2) << "still refused at " << budget - 1 << " MB";
                }
            }
        }
    }
}

TEST_F(Memory, LargePicturesAreReadBackWithinTheBudgetOrRefused)
{
    const long fixed = FixedKilobytes();
    WritePicture("large.png", 8000, 8000);
    WritePicture("small.png", 2000, 2000);
    const std::vector<std::string> depth = {"depth", "--max-memory", "64M",   "--range",
                                            "1:10",  "--curve",      "linear"};
    auto line = [&](std::string picture) {
        std::vector<std::string> words = depth;
        words.insert(words.end(), {picture, "-o", picture + ".exr"});
        return words;
    };
    const ToolRun refused = Measured(line("large.png"));
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err, HasSubstr("error: large.png: a picture of 8000 x 8000 pixels takes "));
    EXPECT_THAT(refused.err, HasSubstr("more than the 64 MB one picture may take (--max-memory"));
    EXPECT_FALSE(std::filesystem::exists(Path("large.png.exr")));
    const ToolRun read = Measured(line("small.png"));
    EXPECT_EQ(read.status, 0) << read.err;
    const ToolRun described = Measured({"info", "--max-memory", "64M", "large.png"});
    EXPECT_EQ(described.status, 0) << described.err;
    EXPECT_THAT(described.out, HasSubstr("large.png: PNG picture, 8000 x 8000, grey, 8 bits"));
    for (const ToolRun* run : {&refused, &read, &described}) EXPECT_LE(run->peakKilobytes, 64 * 1024 + fixed);
}

} // namespace
