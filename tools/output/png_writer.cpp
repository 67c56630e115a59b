#include "output/png_writer.h"

#include <png.h>

#include <bit>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/tool_error.h"

namespace deepglass {

namespace {

// Where libpng writes, and why it stopped: its own message, or the system's error when the file
// could not take the bytes (a full disk, a file-size limit), which says more than libpng's
// "Write Error". libpng leaves through longjmp on an error; the text is kept for the exception
// thrown after.
struct PngSink {
    std::FILE* file = nullptr;
    int writeError = 0;
    char text[256] = "";
};

void KeepPngError(png_structp png, png_const_charp message)
{
    auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
    std::snprintf(sink->text, sizeof sink->text, "%s",
                  sink->writeError != 0 ? std::strerror(sink->writeError) : message);
    png_longjmp(png, 1);
}

void IgnorePngWarning(png_structp, png_const_charp) {}

void WriteToFile(png_structp png, png_bytep data, std::size_t length)
{
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, length, sink->file) != length) {
        sink->writeError = errno != 0 ? errno : EIO;
        png_error(png, "write failed");
    }
}

void FlushFile(png_structp png)
{
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    if (std::fflush(sink->file) != 0) {
        sink->writeError = errno != 0 ? errno : EIO;
        png_error(png, "write failed");
    }
}

bool IsAscii(const std::string& text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The text chunks as libpng takes them; they point into `format`, which outlives the write, and
// libpng copies them.
std::vector<png_text> TextChunks(const PngFormat& format)
{
    std::vector<png_text> chunks;
    for (const PngText& text : format.text) {
        png_text chunk{};
        const bool international = !IsAscii(text.value) || text.keyword == "XML:com.adobe.xmp";
        chunk.compression = international ? PNG_ITXT_COMPRESSION_NONE : PNG_TEXT_COMPRESSION_NONE;
        chunk.key = const_cast<char*>(text.keyword.c_str());
        chunk.text = const_cast<char*>(text.value.c_str());
        if (international)
            chunk.itxt_length = text.value.size();
        else
            chunk.text_length = text.value.size();
        chunks.push_back(chunk);
    }
    return chunks;
}

// Everything between setjmp and a possible longjmp lives in libpng or in this function's
// arguments, so no destructor of ours is skipped.
// `samples` is allocated before the setjmp, so that no destructor is skipped.
bool WriteRows(png_structp png, png_infop info, PngSink* sink, int width, int height, const PngRow* row,
               const PngFormat* format, std::vector<std::uint16_t>* samples, std::vector<png_text>* text)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, sink, WriteToFile, FlushFile);
    const bool grey = format->kind == PngKind::GREY;
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), format->bits,
                 grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (format->srgb)
        png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    else if (!format->iccProfile.empty())
        png_set_iCCP(png, info, "display", PNG_COMPRESSION_TYPE_BASE, format->iccProfile.data(),
                     static_cast<png_uint_32>(format->iccProfile.size()));
    if (!text->empty()) png_set_text(png, info, text->data(), static_cast<int>(text->size()));
    png_set_compression_level(png, format->level);
    if (format->filters != 0) png_set_filter(png, PNG_FILTER_TYPE_BASE, format->filters);
    png_write_info(png, info);
    // PNG stores 16-bit samples big-endian; the rows are in the machine's order.
    if constexpr (std::endian::native == std::endian::little)
        if (format->bits == 16) png_set_swap(png);
    auto* bytes = reinterpret_cast<std::uint8_t*>(samples->data());
    for (int y = 0; y < height; ++y) {
        const BMM_Color_64* pixels = (*row)(y);
        if (!grey && format->bits == 16) {
            png_write_row(png, reinterpret_cast<png_const_bytep>(pixels));
            continue;
        }
        std::size_t at = 0;
        for (int x = 0; x < width; ++x) {
            const BMM_Color_64& pixel = pixels[x];
            const std::uint16_t levels[4] = {pixel.r, pixel.g, pixel.b, pixel.a};
            for (int c = 0; c < (grey ? 1 : 4); ++c, ++at) {
                if (format->bits == 16)
                    (*samples)[at] = levels[c];
                else
                    bytes[at] = EightBitLevel(levels[c]);
            }
        }
        png_write_row(png, bytes);
    }
    png_write_end(png, nullptr);
    return true;
}

} // namespace

PngFormat WithCompression(PngFormat format, PngCompression compression)
{
    format.filters = PNG_FILTER_UP;
    format.level = compression == PngCompression::FAST ? 1 : compression == PngCompression::SMALL ? 9 : 6;
    return format;
}

void WritePng(const std::string& path, int width, int height, const PngRow& row, const PngFormat& format)
{
    PngSink sink;
    sink.file = std::fopen(path.c_str(), "wb");
    if (sink.file == nullptr) throw ToolError("cannot write " + path + ": " + std::strerror(errno));
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, KeepPngError, IgnorePngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool written = false;
    // One converted row: a sample of up to 16 bits for each channel written.
    std::vector<std::uint16_t> samples(static_cast<std::size_t>(width) * 4);
    std::vector<png_text> text = TextChunks(format);
    if (info != nullptr) {
        written = WriteRows(png, info, &sink, width, height, &row, &format, &samples, &text);
    } else {
        std::snprintf(sink.text, sizeof sink.text, "out of memory");
    }
    png_destroy_write_struct(&png, &info);
    // The last buffered bytes reach the file only now, and a full disk may refuse them.
    if (written && (std::fflush(sink.file) != 0 || std::ferror(sink.file) != 0)) {
        written = false;
        std::snprintf(sink.text, sizeof sink.text, "%s", std::strerror(errno != 0 ? errno : EIO));
    }
    if (std::fclose(sink.file) != 0 && written) {
        written = false;
        std::snprintf(sink.text, sizeof sink.text, "%s", std::strerror(errno));
    }
    if (!written) throw ToolError("cannot write " + path + ": " + sink.text);
}

} // namespace deepglass
