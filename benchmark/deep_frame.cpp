// A deep frame made like a renderer's against the flat frame it stands for: `deepglass apply` on
// each, side by side, in time and peak memory, and whether both give the same pictures.
//
//   deep_frame DEEPGLASS FOLDER [RUNS] [WIDTH HEIGHT]
//
// The scene (default 1920 x 1080): sky with nothing rendered above the horizon, an opaque ground
// and an opaque ball, a glass pane (alpha 0.3) over the left third, and a smoke bank of four thin
// samples (alpha 0.1 each) in front of the middle; each pixel's samples are stored farthest
// first, so that the reader sorts every pixel of several. deep.exr holds the samples (ZIPS, as
// deep files mostly are); flat.exr holds R, G, B, A, Z of each pixel made flat by a plain
// reference here (samples sorted by depth, "over" front to back, depth of the nearest sample with
// alpha above 0). Grey pictures (default) and colour pictures (object mode on a frame without
// object IDs, which leaves the composited colour as it is) are compared and left in FOLDER.
#include <ImfChannelList.h>
#include <ImfDeepFrameBuffer.h>
#include <ImfDeepScanLineOutputFile.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfOutputFile.h>
#include <ImfPartType.h>
#include <half.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "process_runs.h"

namespace fs = std::filesystem;

namespace {

struct Sample {
    float z, a, r, g, b;
};

// The samples of pixel (x, y), nearest first.
std::vector<Sample> PixelSamples(int x, int y, int width, int height)
{
    std::vector<Sample> samples;
    const float u = static_cast<float>(x) / width;
    const float v = static_cast<float>(y) / height;
    if (v > 0.3f) { // the ground, farther towards the horizon
        const float z = 2.0f + 60.0f * (1.0f - (v - 0.3f) / 0.7f);
        const float check = ((x / 32 + y / 32) % 2) ? 0.8f : 0.4f;
        samples.push_back({z, 1, check * 0.6f, check * 0.5f, check * 0.3f});
    }
    const float dx = u - 0.55f, dy = v - 0.55f;
    if (dx * dx + dy * dy < 0.04f) { // the ball, nearer than the ground behind it
        const float z = 8.0f + 6.0f * std::sqrt(dx * dx + dy * dy) / 0.2f;
        samples.push_back({z, 1, 0.2f, 0.3f, 0.9f});
    }
    if (u < 0.33f) samples.push_back({4.0f + u, 0.3f, 0.3f * 0.7f, 0.3f * 0.9f, 0.3f}); // glass
    if (u > 0.35f && u < 0.75f && v > 0.2f && v < 0.8f)                                 // smoke
        for (int k = 0; k < 4; ++k) samples.push_back({6.1f + k * 0.75f, 0.1f, 0.08f, 0.08f, 0.08f});
    std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.z < b.z; });
    return samples;
}

// What the pixel shows: composited front to back until opaque, its depth the nearest visible one.
void Flatten(const std::vector<Sample>& samples, float out[5])
{
    float alpha = 0, r = 0, g = 0, b = 0;
    out[4] = std::numeric_limits<float>::infinity();
    for (const Sample& s : samples) {
        if (alpha >= 1.0f) break;
        const float weight = 1.0f - alpha;
        r += weight * s.r, g += weight * s.g, b += weight * s.b;
        alpha += weight * s.a;
        if (s.a > 0 && std::isinf(out[4])) out[4] = s.z;
    }
    out[0] = r, out[1] = g, out[2] = b, out[3] = alpha;
}

std::size_t WriteFrames(const fs::path& folder, int width, int height)
{
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    std::vector<unsigned int> counts(pixels);
    std::vector<std::vector<half>> colour(4);
    std::vector<float> depth;
    std::vector<std::vector<float>> flat(5, std::vector<float>(pixels));
    std::vector<std::size_t> first(pixels);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::size_t p = static_cast<std::size_t>(y) * width + x;
            std::vector<Sample> samples = PixelSamples(x, y, width, height);
            // The reference sees the samples as stored: colour in half.
            for (Sample& s : samples) s.r = half(s.r), s.g = half(s.g), s.b = half(s.b), s.a = half(s.a);
            float out[5];
            Flatten(samples, out);
            for (int c = 0; c < 5; ++c) flat[c][p] = out[c];
            counts[p] = static_cast<unsigned int>(samples.size());
            first[p] = depth.size();
            for (auto s = samples.rbegin(); s != samples.rend(); ++s) { // farthest first
                const float values[] = {s->r, s->g, s->b, s->a};
                for (int c = 0; c < 4; ++c) colour[c].push_back(half(values[c]));
                depth.push_back(s->z);
            }
        }
    const char* names[] = {"R", "G", "B", "A", "Z"};
    {
        Imf::Header header(width, height);
        header.setType(Imf::DEEPSCANLINE);
        header.compression() = Imf::ZIPS_COMPRESSION;
        for (int c = 0; c < 5; ++c)
            header.channels().insert(names[c], Imf::Channel(c < 4 ? Imf::HALF : Imf::FLOAT));
        std::vector<std::vector<void*>> pointers(5, std::vector<void*>(pixels));
        for (std::size_t p = 0; p < pixels; ++p) {
            for (int c = 0; c < 4; ++c) pointers[c][p] = colour[c].data() + first[p];
            pointers[4][p] = depth.data() + first[p];
        }
        Imf::DeepScanLineOutputFile file((folder / "deep.exr").c_str(), header);
        Imf::DeepFrameBuffer buffer;
        buffer.insertSampleCountSlice(Imf::Slice(Imf::UINT, reinterpret_cast<char*>(counts.data()),
                                                 sizeof(unsigned int), sizeof(unsigned int) * width));
        for (int c = 0; c < 5; ++c)
            buffer.insert(names[c],
                          Imf::DeepSlice(c < 4 ? Imf::HALF : Imf::FLOAT,
                                         reinterpret_cast<char*>(pointers[c].data()), sizeof(void*),
                                         sizeof(void*) * width, c < 4 ? sizeof(half) : sizeof(float)));
        file.setFrameBuffer(buffer);
        file.writePixels(height);
    }
    Imf::Header header(width, height);
    header.compression() = Imf::ZIPS_COMPRESSION;
    Imf::FrameBuffer buffer;
    for (int c = 0; c < 5; ++c) {
        header.channels().insert(names[c], Imf::Channel(Imf::FLOAT));
        buffer.insert(names[c], Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(flat[c].data()), sizeof(float),
                                           sizeof(float) * width));
    }
    Imf::OutputFile file((folder / "flat.exr").c_str(), header);
    file.setFrameBuffer(buffer);
    file.writePixels(height);
    return depth.size();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: deep_frame DEEPGLASS FOLDER [RUNS] [WIDTH HEIGHT]\n");
        return 2;
    }
    const std::string tool = argv[1];
    const fs::path folder = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const int width = argc > 5 ? std::atoi(argv[4]) : 1920;
    const int height = argc > 5 ? std::atoi(argv[5]) : 1080;
    fs::create_directories(folder);
    const std::size_t samples = WriteFrames(folder, width, height);
    std::printf("%d x %d: %zu deep samples, %.2f a pixel; deep.exr %ju bytes, flat.exr %ju bytes\n", width,
                height, samples, static_cast<double>(samples) / (static_cast<double>(width) * height),
                static_cast<std::uintmax_t>(fs::file_size(folder / "deep.exr")),
                static_cast<std::uintmax_t>(fs::file_size(folder / "flat.exr")));
    auto apply = [&](const char* input, const char* output, std::vector<std::string> options) {
        std::vector<std::string> command = {tool, "apply", "-j", "1"};
        command.insert(command.end(), options.begin(), options.end());
        command.insert(command.end(), {(folder / input).string(), "-o", (folder / output).string()});
        return command;
    };
    const std::vector<Measure> grey =
        Compare({apply("deep.exr", "deep.png", {}), apply("flat.exr", "flat.png", {})}, runs);
    std::printf("grey picture (best of %d, alternating)   wall       CPU        memory\n", runs);
    PrintMeasure("deep", grey[0]);
    PrintMeasure("flat", grey[1]);
    PrintRatio(grey[0], grey[1]);
    const std::vector<std::string> colour = {"--mode", "object", "--id",   "1",
                                             "--png",  "rgba",   "--bits", "16"};
    RunOnce(apply("deep.exr", "deep-colour.png", colour));
    RunOnce(apply("flat.exr", "flat-colour.png", colour));
    const bool sameGrey = Bytes(folder / "deep.png") == Bytes(folder / "flat.png");
    const bool sameColour = Bytes(folder / "deep-colour.png") == Bytes(folder / "flat-colour.png");
    std::printf("same grey picture: %s; same colour picture: %s\n", sameGrey ? "yes" : "NO",
                sameColour ? "yes" : "NO");
    return sameGrey && sameColour ? 0 : 1;
}
