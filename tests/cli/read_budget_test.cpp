// What a file claims, checked before the reader allocates for it: files built byte by byte, whole,
// cut short, with a chunk table of nothing, with a damaged header, and against a memory budget.
#include <gmock/gmock.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "base/number_text.h"
#include "base/tool_error.h"
#include "claims/exr_claims.h"
#include "cli/option_values.h"

using namespace deepglass;

using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

std::string Int32(std::int32_t value)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF);
    return bytes;
}

std::string Attribute(const std::string& name, const std::string& type, const std::string& value)
{
    return name + '\0' + type + '\0' + Int32(static_cast<std::int32_t>(value.size())) + value;
}

// A scanline file of one FLOAT channel Z, uncompressed (a chunk a row). With `rowsWritten` below
// the height, its chunk table points at rows that are not there (offset 0).
std::string ScanlineFile(int width, int height, int rowsWritten)
{
    const std::string window = Int32(0) + Int32(0) + Int32(width - 1) + Int32(height - 1);
    std::string file = std::string("\x76\x2f\x31\x01", 4) + Int32(2);
    file += Attribute("channels", "chlist",
                      std::string("Z\0", 2) + Int32(2) + std::string(4, '\0') + Int32(1) + Int32(1) +
                          std::string(1, '\0'));
    file += Attribute("compression", "compression", std::string(1, '\0'));
    file += Attribute("dataWindow", "box2i", window) + Attribute("displayWindow", "box2i", window);
    file += Attribute("lineOrder", "lineOrder", std::string(1, '\0'));
    file += Attribute("pixelAspectRatio", "float", Int32(0x3F800000));
    file += Attribute("screenWindowCenter", "v2f", std::string(8, '\0'));
    file += Attribute("screenWindowWidth", "float", Int32(0x3F800000)) + '\0';
    const std::size_t chunkBytes = 8 + static_cast<std::size_t>(width) * 4;
    const std::size_t firstChunk = file.size() + 8 * static_cast<std::size_t>(height);
    for (int y = 0; y < height; ++y) {
        const std::uint64_t offset = y < rowsWritten ? firstChunk + y * chunkBytes : 0;
        file += Int32(static_cast<std::int32_t>(offset)) + Int32(static_cast<std::int32_t>(offset >> 32));
    }
    for (int y = 0; y < rowsWritten; ++y)
        file += Int32(y) + Int32(width * 4) + std::string(static_cast<std::size_t>(width) * 4, '\0');
    return file;
}

std::string Problem(const std::string& file, std::uint64_t budget)
{
    const ByteSource source = [&](std::uint64_t offset, void* buffer, std::size_t count) {
        const std::size_t available = offset < file.size() ? std::min(count, file.size() - offset) : 0;
        std::memcpy(buffer, file.data() + offset, available);
        return available;
    };
    return ClaimsProblem(source, file.size(), budget);
}

TEST(ReadBudget, FilesAreHeldToWhatTheyClaim)
{
    const std::string whole = ScanlineFile(4, 2, 2);
    EXPECT_THAT(Problem(whole, 0), IsEmpty());
    EXPECT_THAT(Problem(whole, 32), IsEmpty()); // 4 x 2 samples of 4 bytes: just fits
    EXPECT_THAT(Problem(whole, 31),
                HasSubstr("claim 32 bytes of samples, more than the 31 bytes one frame may take"));

    // The hostile file: a 30000 x 30000 frame, a full chunk table, and not one row.
    EXPECT_THAT(Problem(ScanlineFile(30000, 30000, 0), 0),
                HasSubstr("damaged or truncated EXR file: its headers claim 3.4 GB of samples"));
    // A channel list that states 8 bytes more than it holds: OpenEXR reads the 8 bytes after its
    // closing zero as an attribute claiming 2 GB.
    std::string padded = whole;
    const std::size_t list = padded.find(std::string("chlist\0", 7)) + 7;
    padded.replace(list, 4, Int32(19 + 8));
    padded.insert(list + 4 + 19, std::string("\x01\0\x01\0\xff\xff\xff\x7f", 8));
    // An attribute claiming 1.7 GB, which the core library reports and reads on past.
    std::string claiming = whole;
    const std::string last("screenWindowWidth\0float\0\x04\0\0\0\0\0\x80\x3f", 32);
    claiming.insert(claiming.find(last) + last.size(), std::string("note\0s\0pixe", 11));
    const std::string cases[][2] = {
        {padded, "Invalid size 2147483647"},
        {claiming, "Invalid size 1702390128"},
        {whole.substr(0, whole.size() - 1), "damaged or truncated EXR file: its headers claim 32 bytes"},
        {ScanlineFile(4, 2, 1), "but not every chunk of them lies within"},
        {ScanlineFile(30000, 30000, 0).substr(0, 400), "in 30000 chunks, whose tables alone would not fit"},
        {"v/1\x01 not an EXR header at all", "damaged or truncated EXR file ("},
        {whole.substr(0, 30), "damaged or truncated EXR file ("},
    };
    for (const auto& [file, expected] : cases) EXPECT_THAT(Problem(file, 0), HasSubstr(expected)) << expected;
}

TEST(ReadBudget, SizesAreReadInPowersOf1024)
{
    const std::pair<const char*, std::uint64_t> sizes[] = {
        {"1536", 1536}, {"512K", 512 << 10}, {"800M", 800ull << 20}, {"2G", 2ull << 30}, {"1t", 1ull << 40}};
    for (const auto& [text, bytes] : sizes) EXPECT_EQ(ParseMemorySize(text), bytes) << text;
    for (const char* text : {"", "M", "12X", "0", "-5", "1.5G", "99999999999999G"})
        EXPECT_THROW(ParseMemorySize(text), UsageError) << text;
    EXPECT_EQ(MemoryText(31), "31 bytes");
    EXPECT_EQ(MemoryText(3600000000), "3.4 GB");
    EXPECT_EQ(MemoryText(913 << 10), "913 KB");
}

} // namespace
