// The I/O floor of one frame as `deepglass apply` writes it: the channels the job needs (R, G, B,
// A, Z) decoded with OpenEXR into the buffers they are handed over in, and a 16-bit RGBA PNG of
// the same size written with libpng's default settings. The grey levels come from a plain
// nearest-to-farthest scale so that the PNG compresses as the tool's picture does. THREADS is the
// size of OpenEXR's decoding pool (default 0: the reading thread decodes), so that the floor can
// decode as the tool does.
//
//   io_floor INPUT.exr OUTPUT.png [THREADS]
#include <ImfArray.h>
#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfThreading.h>
#include <png.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct Rgba16 {
    std::uint16_t r, g, b, a;
};

bool WritePng(const char* path, int width, int height, const std::vector<Rgba16>& pixels)
{
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 16, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    if constexpr (std::endian::native == std::endian::little) png_set_swap(png);
    for (int y = 0; y < height; ++y)
        png_write_row(png,
                      reinterpret_cast<png_const_bytep>(pixels.data() + static_cast<std::size_t>(y) * width));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: io_floor INPUT.exr OUTPUT.png [THREADS]\n");
        return 2;
    }
    if (argc == 4) Imf::setGlobalThreadCount(std::atoi(argv[3]));
    Imf::InputFile input(argv[1]);
    const Imath::Box2i window = input.header().dataWindow();
    const int width = window.max.x - window.min.x + 1;
    const int height = window.max.y - window.min.y + 1;
    const std::size_t count = static_cast<std::size_t>(width) * height;
    // Uninitialised on purpose: the decoder writes every sample.
    std::unique_ptr<half[]> colour(new half[4 * count]);
    std::unique_ptr<float[]> depth(new float[count]);
    Imf::FrameBuffer buffer;
    const std::size_t origin = static_cast<std::size_t>(window.min.y) * width + window.min.x;
    for (int c = 0; c < 4; ++c)
        buffer.insert(std::string(1, "RGBA"[c]),
                      Imf::Slice(Imf::HALF, reinterpret_cast<char*>(colour.get() + c - 4 * origin),
                                 4 * sizeof(half), 4 * sizeof(half) * width, 1, 1, c == 3 ? 1.0 : 0.0));
    buffer.insert("Z", Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(depth.get() - origin), sizeof(float),
                                  sizeof(float) * width));
    input.setFrameBuffer(buffer);
    input.readPixels(window.min.y, window.max.y);

    float nearest = INFINITY, farthest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const float magnitude = std::fabs(depth[i]);
        if (magnitude >= 1e20f) continue;
        nearest = std::min(nearest, magnitude);
        farthest = std::max(farthest, magnitude);
    }
    const float scale = farthest > nearest ? 65535.0f / (farthest - nearest) : 0.0f;
    std::vector<Rgba16> picture(count);
    for (std::size_t i = 0; i < count; ++i) {
        const float magnitude = std::fabs(depth[i]);
        const auto grey = magnitude >= 1e20f ? std::uint16_t{0}
                                             : static_cast<std::uint16_t>((farthest - magnitude) * scale);
        picture[i] = {grey, grey, grey, grey};
    }
    if (!WritePng(argv[2], width, height, picture)) {
        std::fprintf(stderr, "io_floor: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
