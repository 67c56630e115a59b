// A depth shot's frames encoded as PNG pictures and as videos, side by side in one run: the
// wall-clock seconds a frame takes on every core (the best of several runs, the routes
// alternating) and its bytes. Takes the 16-bit grey and RGBA pictures of one frame (deepglass
// writes them from `deepglass sample --width 3840 --height 2160`) and makes a shot of them: each
// frame the picture moved sideways by a few pixels more than the last, as a camera pan would.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/machine.h"
#include "png/png_format.h"
#include "png/png_reader.h"
#include "png/png_writer.h"
#include "video/video_encoder.h"

using namespace deepglass;

namespace {

// Pixels a frame moves against the one before it.
constexpr int PAN = 6;

struct Route {
    const char* name;
    bool rgba;
    int bits;
    bool video;
    VideoCodec codec;
};

double WallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Sample c of pixel x of row y of frame `frame`: the picture moved PAN pixels a frame, wrapping round.
std::uint16_t Sample(const PngPicture& picture, int frame, int x, int y, int c)
{
    const int moved = (x + frame * PAN) % picture.width;
    return picture.At(static_cast<std::size_t>(y) * picture.width + moved, picture.channels == 1 ? 0 : c);
}

// Seconds a frame and bytes a frame of `frames` frames written by `route`.
std::pair<double, double> Encode(const Route& route, const PngPicture& picture, int frames,
                                 const std::string& path)
{
    const int threads = static_cast<int>(Cores());
    const int channels = route.rgba ? 4 : 1;
    const double start = WallSeconds();
    std::uintmax_t bytes = 0;
    if (route.video) {
        VideoFormat format;
        format.codec = route.codec;
        format.rgba = route.rgba;
        format.bits = route.bits;
        format.width = picture.width;
        format.height = picture.height;
        format.threads = threads;
        VideoEncoder encoder(path, path, format);
        for (int frame = 0; frame < frames; ++frame)
            encoder.Add([&](int y, std::uint16_t* levels) {
                for (int x = 0; x < picture.width; ++x)
                    for (int c = 0; c < channels; ++c) {
                        const std::uint16_t level = Sample(picture, frame, x, y, c);
                        *levels++ = route.bits == 8 ? EightBitLevel(level) : level;
                    }
            });
        encoder.Finish();
        bytes = std::filesystem::file_size(path);
    } else {
        PngFormat format = WithCompression({}, PngCompression::DEFAULT);
        format.kind = route.rgba ? PngKind::RGBA : PngKind::GREY;
        format.bits = route.bits;
        for (int frame = 0; frame < frames; ++frame) {
            WritePng(
                path, picture.width, picture.height,
                [&](int y, std::vector<BMM_Color_64>& row) {
                    row.resize(static_cast<std::size_t>(picture.width));
                    for (int x = 0; x < picture.width; ++x)
                        row[static_cast<std::size_t>(x)] = {
                            Sample(picture, frame, x, y, 0), Sample(picture, frame, x, y, 1),
                            Sample(picture, frame, x, y, 2), Sample(picture, frame, x, y, 3)};
                    return row.data();
                },
                format, threads);
            bytes += std::filesystem::file_size(path);
        }
    }
    return {(WallSeconds() - start) / frames, static_cast<double>(bytes) / frames};
}

// The time of handing the same rows over alone, which every route above includes.
double RowsOnly(const PngPicture& picture, int channels, int frames)
{
    const double start = WallSeconds();
    std::vector<std::uint16_t> row(static_cast<std::size_t>(picture.width) * channels);
    volatile std::uint16_t sink = 0;
    for (int frame = 0; frame < frames; ++frame)
        for (int y = 0; y < picture.height; ++y) {
            std::uint16_t* levels = row.data();
            for (int x = 0; x < picture.width; ++x)
                for (int c = 0; c < channels; ++c) *levels++ = Sample(picture, frame, x, y, c);
            sink = sink + row[static_cast<std::size_t>(y % picture.width)];
        }
    return (WallSeconds() - start) / frames;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: video_encode GREY16.png RGBA16.png [runs] [frames]\n");
        return 2;
    }
    const PngPicture grey = PngReader(argv[1]).ReadAll();
    const PngPicture rgba = PngReader(argv[2]).ReadAll();
    if (grey.channels != 1 || grey.bits != 16 || rgba.channels != 4 || rgba.bits != 16) {
        std::fprintf(stderr, "video_encode: give a 16-bit grey and a 16-bit RGBA picture\n");
        return 1;
    }
    const int runs = argc > 3 ? std::stoi(argv[3]) : 3;
    const int frames = argc > 4 ? std::stoi(argv[4]) : 8;
    const std::vector<Route> routes = {
        {"PNG grey 16", false, 16, false, VideoCodec::FFV1},
        {".mkv FFV1 grey 16", false, 16, true, VideoCodec::FFV1},
        {"PNG grey 8", false, 8, false, VideoCodec::FFV1},
        {".mkv FFV1 grey 8", false, 8, true, VideoCodec::FFV1},
        {".mp4 H.264 grey 8", false, 8, true, VideoCodec::H264},
        {"PNG RGBA 16", true, 16, false, VideoCodec::FFV1},
        {".mkv FFV1 RGBA 16", true, 16, true, VideoCodec::FFV1},
    };
    const std::string stem = "/tmp/video_encode." + std::to_string(::getpid());
    std::vector<std::pair<double, double>> best(routes.size(), {1e30, 0});
    for (int run = 0; run < runs; ++run)
        for (std::size_t r = 0; r < routes.size(); ++r) {
            const Route& route = routes[r];
            const std::string path =
                stem + (route.video ? (route.codec == VideoCodec::H264 ? ".mp4" : ".mkv") : ".png");
            const auto [seconds, bytes] = Encode(route, route.rgba ? rgba : grey, frames, path);
            best[r] = {std::min(best[r].first, seconds), bytes};
            std::remove(path.c_str());
        }
    std::printf("%d frames of %d x %d, %u cores, best of %d runs\n", frames, grey.width, grey.height, Cores(),
                runs);
    std::printf("%-20s %12s %14s\n", "route", "s a frame", "bytes a frame");
    std::printf("%-20s %12.3f\n", "rows alone, grey", RowsOnly(grey, 1, frames));
    for (std::size_t r = 0; r < routes.size(); ++r)
        std::printf("%-20s %12.3f %14.0f\n", routes[r].name, best[r].first, best[r].second);
    return 0;
}
