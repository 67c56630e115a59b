#include "files/png_writer.h"

#include <png.h>

#include <bit>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/tool_error.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// libpng leaves through longjmp on an error; the message is kept for the exception thrown after.
struct PngErrorText {
    char text[256] = "";
};

void KeepPngError(png_structp png, png_const_charp message)
{
    auto* error = static_cast<PngErrorText*>(png_get_error_ptr(png));
    std::snprintf(error->text, sizeof error->text, "%s", message);
    png_longjmp(png, 1);
}

void IgnorePngWarning(png_structp, png_const_charp) {}

// Everything between setjmp and a possible longjmp lives in libpng or in this function's
// arguments, so no destructor of ours is skipped.
bool WriteRows(png_structp png, png_infop info, std::FILE* file, int width, int height,
               const BMM_Color_64* pixels)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 16,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // PNG stores 16-bit samples big-endian; the rows are in the machine's order.
    if constexpr (std::endian::native == std::endian::little) png_set_swap(png);
    for (int y = 0; y < height; ++y)
        png_write_row(png, reinterpret_cast<png_const_bytep>(pixels + static_cast<std::size_t>(y) * width));
    png_write_end(png, nullptr);
    return true;
}

} // namespace

void WritePng(const std::string& path, int width, int height, const std::vector<BMM_Color_64>& pixels)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (file == nullptr) throw ToolError("cannot write " + path + ": " + std::strerror(errno));
    PngErrorText error;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, KeepPngError, IgnorePngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        throw ToolError("cannot write " + path + ": out of memory");
    }
    const bool written = WriteRows(png, info, file.get(), width, height, pixels.data());
    png_destroy_write_struct(&png, &info);
    if (!written) throw ToolError("cannot write " + path + ": " + error.text);
    if (std::fflush(file.get()) != 0 || std::ferror(file.get()))
        throw ToolError("cannot write " + path + ": " + std::strerror(errno));
}
