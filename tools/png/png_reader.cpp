#include "png/png_reader.h"

#include <libdeflate.h>
#include <png.h>

#include <bit>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "base/frame_memory.h"
#include "base/number_text.h"
#include "base/tool_error.h"
#include "base/utf8_text.h"

namespace deepglass {

namespace {

constexpr unsigned char SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t MOST_KEYWORD = 79;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

void FreeInflater(libdeflate_decompressor* inflater) { libdeflate_free_decompressor(inflater); }

// What libpng's callbacks keep: why it stopped (it leaves through longjmp, and the text is kept
// for the exception after), and the text chunks handed over.
struct PngSource {
    char error[256] = "";
    std::vector<std::pair<std::string, std::string>> text;
    std::uint64_t textBytes = 0;
    bool textCut = false; // more text than a picture may hold
};

void KeepPngError(png_structp png, png_const_charp message)
{
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source->error, sizeof source->error, "%s", message);
    png_longjmp(png, 1);
}

void IgnorePngWarning(png_structp, png_const_charp) {}

// A zlib stream inflated into `out`, which holds at most what it is sized to; libdeflate's answer.
libdeflate_result Inflate(std::string_view stream, std::string& out)
{
    const std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> inflater(
        libdeflate_alloc_decompressor(), FreeInflater);
    if (!inflater) throw std::bad_alloc();
    std::size_t length = 0;
    const libdeflate_result result = libdeflate_zlib_decompress(inflater.get(), stream.data(), stream.size(),
                                                                out.data(), out.size(), &length);
    out.resize(length);
    return result;
}

// A text chunk (tEXt, zTXt, iTXt) kept as keyword and value in UTF-8, within PNG_TEXT_BYTES in
// all; every other ancillary chunk is passed over, as a damaged text chunk is. A critical chunk
// libpng does not know is left to it, which refuses it.
int KeepText(png_structp png, png_unknown_chunkp chunk)
{
    auto* source = static_cast<PngSource*>(png_get_user_chunk_ptr(png));
    const std::string_view type(reinterpret_cast<const char*>(chunk->name), 4);
    if ((type[0] & 0x20) == 0) return 0;
    const bool latin1 = type == "tEXt" || type == "zTXt";
    if ((!latin1 && type != "iTXt") || chunk->data == nullptr) return 1;
    const std::string_view data(reinterpret_cast<const char*>(chunk->data), chunk->size);
    const std::size_t end = data.find('\0');
    if (end == 0 || end == std::string_view::npos || end > MOST_KEYWORD) return 1;
    std::string keyword = Latin1AsUtf8(data.substr(0, end));
    std::string_view rest = data.substr(end + 1);
    bool compressed = type == "zTXt";
    if (type == "zTXt") {
        if (rest.empty() || rest[0] != 0) return 1; // deflate, the one method
        rest.remove_prefix(1);
    } else if (type == "iTXt") {
        // Compressed or not, the method, the language tag and the translated keyword.
        if (rest.size() < 2 || rest[1] != 0) return 1;
        compressed = rest[0] != 0;
        rest.remove_prefix(2);
        for (int field = 0; field < 2; ++field) {
            const std::size_t close = rest.find('\0');
            if (close == std::string_view::npos) return 1;
            rest.remove_prefix(close + 1);
        }
    }
    const std::uint64_t held = source->textBytes + keyword.size();
    std::string value;
    if (compressed) {
        value.resize(static_cast<std::size_t>(PNG_TEXT_BYTES - std::min(held, PNG_TEXT_BYTES)));
        const libdeflate_result result = Inflate(rest, value);
        if (result == LIBDEFLATE_INSUFFICIENT_SPACE) source->textCut = true;
        if (result != LIBDEFLATE_SUCCESS) return 1;
    } else {
        value = std::string(rest);
    }
    if (latin1) value = Latin1AsUtf8(value);
    source->textBytes = held + value.size();
    if (source->textBytes > PNG_TEXT_BYTES) {
        source->textCut = true;
        return 1;
    }
    source->text.emplace_back(std::move(keyword), std::move(value));
    return 1;
}

} // namespace

// libpng's structures, destroyed however the read ends. Everything between a setjmp and a
// possible longjmp lives in libpng or in the arguments, so no destructor of ours is skipped.
struct PngReader::Libpng {
    std::unique_ptr<std::FILE, FileCloser> file;
    PngSource source;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Libpng() { png_destroy_read_struct(&png, &info, nullptr); }

    bool ReadHeader(png_uint_32* width, png_uint_32* height, int* bits, int* colourType)
    {
        if (setjmp(png_jmpbuf(png))) return false;
        png_init_io(png, file.get());
        // Text chunks are taken by KeepText, with a limit; every other chunk but those that make
        // the picture is passed over unread. A chunk that fails its CRC stops the read, as it would
        // otherwise reach KeepText as it is.
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
        png_set_read_user_chunk_fn(png, &source, KeepText);
        png_set_crc_action(png, PNG_CRC_DEFAULT, PNG_CRC_ERROR_QUIT);
        png_read_info(png, info);
        png_get_IHDR(png, info, width, height, bits, colourType, nullptr, nullptr, nullptr);
        return true;
    }
    bool ReadRows(int bits, std::vector<png_bytep>* rows)
    {
        if (setjmp(png_jmpbuf(png))) return false;
        if constexpr (std::endian::native == std::endian::little)
            if (bits == 16) png_set_swap(png);
        png_read_image(png, rows->data());
        png_read_end(png, info); // text chunks after the samples too
        return true;
    }
    // Rows read one at a time into `row`, each pass of an interlaced picture.
    bool SkipRows(png_uint_32 height, std::vector<std::uint8_t>* row)
    {
        if (setjmp(png_jmpbuf(png))) return false;
        const int passes = png_set_interlace_handling(png);
        png_read_update_info(png, info);
        row->resize(png_get_rowbytes(png, info));
        for (int pass = 0; pass < passes; ++pass)
            for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, row->data(), nullptr);
        png_read_end(png, info);
        return true;
    }
};

bool IsPngFile(const std::string& path)
{
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    unsigned char start[8] = {};
    return file != nullptr && std::fread(start, 1, sizeof start, file.get()) == sizeof start &&
           std::memcmp(start, SIGNATURE, sizeof start) == 0;
}

PngReader::PngReader(const std::string& path) : path(path), libpng(std::make_unique<Libpng>())
{
    libpng->file.reset(std::fopen(path.c_str(), "rb"));
    if (libpng->file == nullptr) throw ToolError("cannot read " + path + ": " + std::strerror(errno));
    if (!IsPngFile(path)) throw ToolError(path + ": not a PNG picture (no PNG signature)");
    std::error_code error;
    fileBytes = std::filesystem::file_size(path, error);
    libpng->png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &libpng->source, KeepPngError, IgnorePngWarning);
    libpng->info = libpng->png != nullptr ? png_create_info_struct(libpng->png) : nullptr;
    png_uint_32 width = 0, height = 0;
    int bits = 0, colourType = 0;
    if (libpng->info == nullptr || !libpng->ReadHeader(&width, &height, &bits, &colourType))
        throw ToolError(path + ": not a PNG picture that can be read: " +
                        (libpng->info == nullptr ? "out of memory" : libpng->source.error));
    const bool grey = colourType == PNG_COLOR_TYPE_GRAY;
    if ((!grey && colourType != PNG_COLOR_TYPE_RGB_ALPHA) || (bits != 8 && bits != 16))
        throw ToolError(path + ": a picture of PNG colour type " + std::to_string(colourType) + " at " +
                        std::to_string(bits) +
                        " bits; depth is read from grey or RGBA pictures of 8 or 16 bits");
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    picture.bits = bits;
    picture.channels = grey ? 1 : 4;
}

PngReader::~PngReader() = default;

FrameShape PngReader::Shape() const
{
    FrameShape shape;
    shape.width = static_cast<std::uint64_t>(picture.width);
    shape.height = static_cast<std::uint64_t>(picture.height);
    shape.storedPixelBytes =
        static_cast<std::uint64_t>(picture.channels) * static_cast<std::uint64_t>(picture.bits / 8);
    shape.fileBytes = fileBytes;
    return shape;
}

PngPicture PngReader::ReadAll() { return Finish(true); }

PngPicture PngReader::ReadText() { return Finish(false); }

PngPicture PngReader::Finish(bool samples)
{
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(picture.width) * Shape().storedPixelBytes;
    const png_uint_32 height = static_cast<png_uint_32>(picture.height);
    bool read = false;
    if (samples) {
        picture.stored.resize(rowBytes * height);
        std::vector<png_bytep> rows(height);
        for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = picture.stored.data() + y * rowBytes;
        read = libpng->ReadRows(picture.bits, &rows);
    } else {
        std::vector<std::uint8_t> row;
        read = libpng->SkipRows(height, &row);
    }
    if (!read)
        throw ToolError(path +
                        ": the picture's samples cannot be read: " + std::string(libpng->source.error));
    if (libpng->source.textCut)
        throw ToolError(path + ": its text chunks hold more than the " + MemoryText(PNG_TEXT_BYTES) +
                        " of text a picture may hold");
    picture.text = std::move(libpng->source.text);
    return std::move(picture);
}

} // namespace deepglass
