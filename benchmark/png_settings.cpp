// PNG encoding settings on depth maps: libdeflate's level and the row filters, by encoding time
// (the thread's CPU time on one thread; wall-clock time on every core for the default) and size,
// for the kinds of picture deepglass writes. Takes a 16-bit grey
// PNG (a whole-mode picture, such as deepglass writes from `deepglass sample --width 3840
// --height 2160`) and makes two more pictures from it: the same with noise of up to 64 levels on
// every pixel, and one of 64 x 64 blocks of unrelated greys (hard edges everywhere).
#include <time.h>
#include <unistd.h>

#include <chrono>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "base/machine.h"
#include "png/png_reader.h"
#include "png/png_writer.h"

using namespace deepglass;

namespace {

struct Picture {
    std::string name;
    int width = 0, height = 0;
    std::vector<BMM_Color_64> pixels;
};

// The grey picture at `path`, each level as a pixel of four; empty when it cannot be read.
Picture ReadGrey(const std::string& path)
{
    Picture picture{"depth map", 0, 0, {}};
    try {
        const deepglass::PngPicture grey = deepglass::PngReader(path).ReadAll();
        picture.width = grey.width;
        picture.height = grey.height;
        for (std::size_t i = 0;
             i < static_cast<std::size_t>(grey.width) * static_cast<std::size_t>(grey.height); ++i)
            picture.pixels.push_back({grey.At(i, 0), grey.At(i, 0), grey.At(i, 0), grey.At(i, 0)});
    } catch (const std::exception&) {
        picture.pixels.clear();
    }
    return picture;
}

double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

double WallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Seconds and bytes of one encoding on `threads` threads, the best time of `runs`: the thread's CPU
// time on one thread (every segment is deflated on the calling thread), else the wall-clock time.
std::pair<double, long> Encode(const Picture& picture, const PngFormat& format, const std::string& path,
                               int runs, int threads = 1)
{
    double best = 1e30;
    for (int run = 0; run < runs; ++run) {
        const double start = threads == 1 ? CpuSeconds() : WallSeconds();
        WritePng(
            path, picture.width, picture.height,
            [&](int y, std::vector<BMM_Color_64>&) {
                return picture.pixels.data() + static_cast<std::size_t>(y) * picture.width;
            },
            format, threads);
        best = std::min(best, (threads == 1 ? CpuSeconds() : WallSeconds()) - start);
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
    } filters[] = {{"all five", 0},          {"none", PNG_ROW_NONE},
                   {"sub", PNG_ROW_SUB},     {"up", PNG_ROW_UP},
                   {"paeth", PNG_ROW_PAETH}, {"sub+up+paeth", PNG_ROW_SUB | PNG_ROW_UP | PNG_ROW_PAETH}};
    const int cores = static_cast<int>(Cores());
    const int fast = WithCompression({}, PngCompression::FAST).level;
    const int defaultLevel = WithCompression({}, PngCompression::DEFAULT).level;
    const int small = WithCompression({}, PngCompression::SMALL).level;
    std::printf("%-11s %-6s %-13s %5s %7s %9s %10s\n", "picture", "kind", "filters", "level", "threads",
                "seconds", "bytes");
    for (const Picture& picture : pictures) {
        for (const PngKind kind : {PngKind::RGBA, PngKind::GREY})
            for (const auto& filter : filters)
                for (int level = 1; level <= 12; ++level) {
                    // "up", the filter the tool writes with, at every level; the other filters, and
                    // RGBA (for the ratios), at the levels --png-compression offers.
                    const bool up = filter.bits == PNG_ROW_UP;
                    const bool offered = level == fast || level == defaultLevel || level == small;
                    if (!offered && (!up || kind == PngKind::RGBA)) continue;
                    if (kind == PngKind::RGBA && !up) continue;
                    const PngFormat format{kind, 16, level, filter.bits, false, {}, {}};
                    // Every core too at the default.
                    std::vector<int> threadCounts = {1};
                    if (up && level == defaultLevel && cores > 1) threadCounts.push_back(cores);
                    for (const int threads : threadCounts) {
                        const auto [seconds, bytes] = Encode(picture, format, path, runs, threads);
                        std::printf("%-11s %-6s %-13s %5d %7d %9.3f %10ld\n", picture.name.c_str(),
                                    kind == PngKind::GREY ? "grey" : "rgba", filter.name, level, threads,
                                    seconds, bytes);
                        std::fflush(stdout);
                    }
                }
    }
    std::remove(path.c_str());
    return 0;
}
