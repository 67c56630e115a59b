#include "png/png_chunks.h"

#include <libdeflate.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <optional>

#include "base/tool_error.h"
#include "base/utf8_text.h"

namespace deepglass {

namespace {

constexpr char XMP_KEYWORD[] = "XML:com.adobe.xmp";

bool PrintableLatin1(char32_t c) { return (c >= 32 && c <= 126) || (c >= 161 && c <= 255); }

} // namespace

PngFile::PngFile(const std::string& path) : file(std::fopen(path.c_str(), "wb"))
{
    if (file == nullptr) error = errno != 0 ? errno : EIO;
}

PngFile::~PngFile()
{
    if (file != nullptr) std::fclose(file);
}

void PngFile::Put(const void* bytes, std::size_t size)
{
    if (error == 0 && size != 0 && std::fwrite(bytes, 1, size, file) != size)
        error = errno != 0 ? errno : EIO;
}

void PngFile::Chunk(const char* type,
                    std::initializer_list<std::pair<const std::uint8_t*, std::size_t>> parts)
{
    std::size_t length = 0;
    for (const auto& part : parts) length += part.second;
    std::vector<std::uint8_t> head;
    PutBigEndian(head, static_cast<std::uint32_t>(length));
    head.insert(head.end(), type, type + 4);
    Put(head.data(), head.size());
    std::uint32_t crc = libdeflate_crc32(0, type, 4);
    for (const auto& part : parts) {
        // libdeflate_crc32 answers 0 for no buffer, as for a checksum's start.
        if (part.second == 0) continue;
        Put(part.first, part.second);
        crc = libdeflate_crc32(crc, part.first, part.second);
    }
    std::vector<std::uint8_t> tail;
    PutBigEndian(tail, crc);
    Put(tail.data(), tail.size());
}

int PngFile::Close()
{
    if (file == nullptr) return error;
    if (error == 0 && (std::fflush(file) != 0 || std::ferror(file) != 0)) error = errno != 0 ? errno : EIO;
    const int closed = std::fclose(file);
    file = nullptr;
    if (error == 0 && closed != 0) error = errno != 0 ? errno : EIO;
    return error;
}

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

PngChunk HeaderChunk(int width, int height, const PngFormat& format)
{
    std::vector<std::uint8_t> data;
    PutBigEndian(data, static_cast<std::uint32_t>(width));
    PutBigEndian(data, static_cast<std::uint32_t>(height));
    data.push_back(static_cast<std::uint8_t>(format.bits));
    data.push_back(format.kind == PngKind::GREY ? 0 : 6); // colour type: grey, or RGB with alpha
    for (int i = 0; i < 3; ++i) data.push_back(0);        // deflate, adaptive filtering, not interlaced
    return {"IHDR", std::move(data)};
}

PngChunk ProfileChunk(const std::vector<unsigned char>& profile, int level)
{
    std::vector<std::uint8_t> data = {'d', 'i', 's', 'p', 'l', 'a', 'y', 0, 0}; // its name, deflate
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    if (compressor == nullptr) throw std::bad_alloc();
    const std::size_t start = data.size();
    data.resize(start + libdeflate_zlib_compress_bound(compressor, profile.size()));
    const std::size_t size = libdeflate_zlib_compress(compressor, profile.data(), profile.size(),
                                                      data.data() + start, data.size() - start);
    libdeflate_free_compressor(compressor);
    data.resize(start + size);
    return {"iCCP", std::move(data)};
}

PngChunk TextChunk(const std::string& path, const PngText& text)
{
    const std::optional<std::u32string> keyword = Utf8Characters(text.keyword);
    if (!keyword || keyword->empty() || keyword->size() > 79 || keyword->front() == ' ' ||
        keyword->back() == ' ' || keyword->find(U"  ") != std::u32string::npos ||
        !std::all_of(keyword->begin(), keyword->end(), PrintableLatin1))
        throw ToolError("cannot write " + path + ": the PNG text keyword \"" + text.keyword +
                        "\" is not 1 to 79 printable Latin-1 characters without leading, trailing or "
                        "consecutive spaces");
    const std::optional<std::u32string> value = Utf8Characters(text.value);
    if (!value || value->find(U'\0') != std::u32string::npos)
        throw ToolError("cannot write " + path + ": the PNG text \"" + text.keyword +
                        "\" is not UTF-8 without NUL characters");
    std::vector<std::uint8_t> data(keyword->begin(), keyword->end()); // Latin-1, one byte a character
    data.push_back(0);
    if (text.keyword != XMP_KEYWORD && std::all_of(value->begin(), value->end(), [](char32_t c) {
            return c == U'\n' || PrintableLatin1(c);
        })) {
        data.insert(data.end(), value->begin(), value->end());
        return {"tEXt", std::move(data)};
    }
    // Not compressed, compression method 0, no language tag, no translated keyword.
    data.insert(data.end(), {0, 0, 0, 0});
    data.insert(data.end(), text.value.begin(), text.value.end());
    return {"iTXt", std::move(data)};
}

std::array<std::uint8_t, 2> ZlibHeader(int level)
{
    const unsigned method = 0x78;
    unsigned flags = static_cast<unsigned>(level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3) << 6;
    flags += 31 - (method * 256 + flags) % 31;
    return {static_cast<std::uint8_t>(method), static_cast<std::uint8_t>(flags)};
}

} // namespace deepglass
