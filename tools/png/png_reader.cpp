#include "png/png_reader.h"

#include <png.h>

#include <bit>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/tool_error.h"

namespace deepglass {

namespace {

constexpr unsigned char SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Why libpng stopped; it leaves through longjmp, and the text is kept for the exception after.
struct PngSource {
    char text[256] = "";
};

void KeepPngError(png_structp png, png_const_charp message)
{
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source->text, sizeof source->text, "%s", message);
    png_longjmp(png, 1);
}

void IgnorePngWarning(png_structp, png_const_charp) {}

struct Header {
    png_uint_32 width = 0, height = 0;
    int bits = 0, colourType = 0;
};

// Everything between setjmp and a possible longjmp lives in libpng or in the arguments, so no
// destructor of ours is skipped.
bool ReadHeader(png_structp png, png_infop info, std::FILE* file, Header* header)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_read_info(png, info);
    png_get_IHDR(png, info, &header->width, &header->height, &header->bits, &header->colourType, nullptr,
                 nullptr, nullptr);
    return true;
}

bool ReadRows(png_structp png, png_infop info, int bits, std::vector<png_bytep>* rows)
{
    if (setjmp(png_jmpbuf(png))) return false;
    if constexpr (std::endian::native == std::endian::little)
        if (bits == 16) png_set_swap(png);
    png_read_image(png, rows->data());
    png_read_end(png, info); // text chunks after the samples too
    return true;
}

// libpng's structures, destroyed however the read ends.
struct ReadStruct {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~ReadStruct() { png_destroy_read_struct(&png, &info, nullptr); }
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

bool IsPngFile(const std::string& path)
{
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    unsigned char start[8] = {};
    return file != nullptr && std::fread(start, 1, sizeof start, file.get()) == sizeof start &&
           std::memcmp(start, SIGNATURE, sizeof start) == 0;
}

PngPicture ReadPng(const std::string& path, std::uint64_t budget)
{
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (file == nullptr) throw ToolError("cannot read " + path + ": " + std::strerror(errno));
    if (!IsPngFile(path)) throw ToolError(path + ": not a PNG picture (no PNG signature)");
    PngSource source;
    ReadStruct read;
    read.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, KeepPngError, IgnorePngWarning);
    read.info = read.png != nullptr ? png_create_info_struct(read.png) : nullptr;
    png_structp png = read.png;
    png_infop info = read.info;
    Header header;
    if (info == nullptr || !ReadHeader(png, info, file.get(), &header)) {
        throw ToolError(path + ": not a PNG picture that can be read: " +
                        (info == nullptr ? "out of memory" : source.text));
    }
    PngPicture picture;
    picture.width = static_cast<int>(header.width);
    picture.height = static_cast<int>(header.height);
    picture.bits = header.bits;
    const bool grey = header.colourType == PNG_COLOR_TYPE_GRAY;
    if ((!grey && header.colourType != PNG_COLOR_TYPE_RGB_ALPHA) || (header.bits != 8 && header.bits != 16)) {
        throw ToolError(path + ": a picture of PNG colour type " + std::to_string(header.colourType) +
                        " at " + std::to_string(header.bits) +
                        " bits; depth is read from grey or RGBA pictures of 8 or 16 bits");
    }
    picture.channels = grey ? 1 : 4;
    const std::uint64_t rowSamples =
        std::uint64_t{header.width} * static_cast<std::uint64_t>(picture.channels);
    const std::uint64_t bytes = rowSamples * header.height * (header.bits / 8);
    if (budget != 0 && bytes > budget) {
        throw ToolError(path + ": a picture of " + std::to_string(header.width) + " x " +
                        std::to_string(header.height) + " pixels, more than the memory budget holds");
    }
    std::vector<std::uint8_t> bytesRead(bytes);
    std::vector<png_bytep> rows(header.height);
    const std::uint64_t rowBytes = rowSamples * (header.bits / 8);
    for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = bytesRead.data() + y * rowBytes;
    if (!ReadRows(png, info, header.bits, &rows)) {
        throw ToolError(path + ": the picture's samples cannot be read: " + std::string(source.text));
    }
    png_textp chunks = nullptr;
    const int count = png_get_text(png, info, &chunks, nullptr);
    for (int i = 0; i < count; ++i)
        picture.text.emplace_back(chunks[i].key, std::string(chunks[i].text, chunks[i].compression > 0
                                                                                 ? chunks[i].itxt_length
                                                                                 : chunks[i].text_length));
    picture.samples.resize(rowSamples * header.height);
    for (std::size_t i = 0; i < picture.samples.size(); ++i) {
        if (header.bits == 16)
            std::memcpy(&picture.samples[i], bytesRead.data() + 2 * i, 2);
        else
            picture.samples[i] = bytesRead[i];
    }
    return picture;
}

} // namespace deepglass
