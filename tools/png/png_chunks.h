// The PNG container: a file written chunk by chunk with each chunk's CRC, and the data of the
// chunks around a picture's rows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "png/png_format.h"

namespace deepglass {

// A chunk's type and data.
struct PngChunk {
    const char* type;
    std::vector<std::uint8_t> data;
};

// The file written chunk by chunk; the first error the system gives is kept, and nothing more is
// written after it.
class PngFile {
public:
    explicit PngFile(const std::string& path);
    ~PngFile();
    PngFile(const PngFile&) = delete;
    PngFile& operator=(const PngFile&) = delete;

    void Put(const void* bytes, std::size_t size);
    // A chunk whose data is `parts` one after the other.
    void Chunk(const char* type, std::initializer_list<std::pair<const std::uint8_t*, std::size_t>> parts);
    void Chunk(const PngChunk& chunk) { Chunk(chunk.type, {{chunk.data.data(), chunk.data.size()}}); }
    // Flushed and closed: the last buffered bytes reach the file only now, and a full disk may
    // refuse them. The system's error, 0 when all was written.
    int Close();
    int Error() const { return error; }

private:
    std::FILE* file;
    int error = 0;
};

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value);

PngChunk HeaderChunk(int width, int height, const PngFormat& format);
// The iCCP chunk: the profile named "display", as a zlib stream at libdeflate's `level`.
PngChunk ProfileChunk(const std::vector<unsigned char>& profile, int level);
// A text's tEXt or iTXt chunk (see PngText); a ToolError naming `path` when its keyword is none, or
// its value is not UTF-8 without NUL characters.
PngChunk TextChunk(const std::string& path, const PngText& text);
// A zlib stream's first two bytes: deflate with a 32 KB window, and the level hint libdeflate gives.
std::array<std::uint8_t, 2> ZlibHeader(int level);

} // namespace deepglass
