// PNG encoding settings on depth maps: zlib's level and libpng's row filters, by encoding time
// (the thread's CPU time) and size, for the kinds of picture deepglass writes. Takes a 16-bit grey
// PNG (a whole-mode picture, such as deepglass writes from `deepglass sample --width 3840
// --height 2160`) and makes two more pictures from it: the same with noise of up to 64 levels on
// every pixel, and one of 64 x 64 blocks of unrelated greys (hard edges everywhere).
#include <png.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "output/png_writer.h"

using namespace deepglass;

namespace {

struct Picture {
    std::string name;
    int width = 0, height = 0;
    std::vector<BMM_Color_64> pixels;
};

Picture ReadGrey(const std::string& path)
{
    Picture picture{"depth map", 0, 0, {}};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return picture;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        picture.width = static_cast<int>(png_get_image_width(png, info));
        picture.height = static_cast<int>(png_get_image_height(png, info));
        png_set_swap(png);
        std::vector<std::uint16_t> row(static_cast<std::size_t>(picture.width));
        for (int y = 0; y < picture.height; ++y) {
            png_read_row(png, reinterpret_cast<png_bytep>(row.data()), nullptr);
            for (std::uint16_t level : row) picture.pixels.push_back({level, level, level, level});
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return picture;
}

double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Seconds and bytes of one encoding, the best time of `runs`.
std::pair<double, long> Encode(const Picture& picture, const PngFormat& format, const std::string& path,
                               int runs)
{
    double best = 1e30;
    for (int run = 0; run < runs; ++run) {
        const double start = CpuSeconds();
        WritePng(
            path, picture.width, picture.height,
            [&](int y) { return picture.pixels.data() + static_cast<std::size_t>(y) * picture.width; },
            format);
        best = std::min(best, CpuSeconds() - start);
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    return {best, size};
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: png_settings GREY16.png [runs]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::stoi(argv[2]) : 2;
    std::vector<Picture> pictures = {ReadGrey(argv[1])};
    if (pictures[0].pixels.empty()) {
        std::fprintf(stderr, "png_settings: %s is no 16-bit grey PNG\n", argv[1]);
        return 1;
    }
    std::mt19937 random(7);
    Picture noisy = pictures[0];
    noisy.name = "with noise";
    for (BMM_Color_64& pixel : noisy.pixels) {
        const int level = std::clamp<int>(pixel.r + static_cast<int>(random() % 129) - 64, 0, 65535);
        pixel = {static_cast<std::uint16_t>(level), static_cast<std::uint16_t>(level),
                 static_cast<std::uint16_t>(level), static_cast<std::uint16_t>(level)};
    }
    Picture blocks = pictures[0];
    blocks.name = "hard edges";
    std::vector<std::uint16_t> greys(static_cast<std::size_t>(blocks.width / 64 + 1) *
                                     (blocks.height / 64 + 1));
    for (std::uint16_t& grey : greys) grey = static_cast<std::uint16_t>(random());
    for (int y = 0; y < blocks.height; ++y)
        for (int x = 0; x < blocks.width; ++x) {
            const std::uint16_t grey =
                greys[static_cast<std::size_t>(y / 64) * (blocks.width / 64 + 1) + x / 64];
            blocks.pixels[static_cast<std::size_t>(y) * blocks.width + x] = {grey, grey, grey, grey};
        }
    pictures.push_back(std::move(noisy));
    pictures.push_back(std::move(blocks));

    const std::string path = "/tmp/png_settings." + std::to_string(::getpid()) + ".png";
    const struct {
        const char* name;
        int bits;
    } filters[] = {
        {"libpng's choice", 0},      {"none", PNG_FILTER_NONE},
        {"sub", PNG_FILTER_SUB},     {"up", PNG_FILTER_UP},
        {"paeth", PNG_FILTER_PAETH}, {"sub+up+paeth", PNG_FILTER_SUB | PNG_FILTER_UP | PNG_FILTER_PAETH}};
    std::printf("%-11s %-6s %-16s %5s %9s %10s\n", "picture", "kind", "filters", "level", "seconds", "bytes");
    for (const Picture& picture : pictures) {
        for (const PngKind kind : {PngKind::RGBA, PngKind::GREY})
            for (const auto& filter : filters)
                for (int level : {1, 3, 6, 9}) {
                    // RGBA at libpng's own choice and at the default (up, 6) only, for the ratios.
                    if (kind == PngKind::RGBA && level != 6) continue;
                    if (kind == PngKind::RGBA && filter.bits != 0 && filter.bits != PNG_FILTER_UP) continue;
                    const auto [seconds, bytes] =
                        Encode(picture, {kind, 16, level, filter.bits, false, {}, {}}, path, runs);
                    std::printf("%-11s %-6s %-16s %5d %9.3f %10ld\n", picture.name.c_str(),
                                kind == PngKind::GREY ? "grey" : "rgba", filter.name, level, seconds, bytes);
                    std::fflush(stdout);
                }
    }
    std::remove(path.c_str());
    return 0;
}
