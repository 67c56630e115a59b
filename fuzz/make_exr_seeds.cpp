// Writes the EXR target's seed corpus: small frames in each storage form, compression and line
// order the reader meets, with colour, depth and both ID channels; deep frames; views in parts and
// in one part; subsampled and luminance-chroma colour; a mip-mapped part. Run once by hand after a
// change (fuzz/make_pipeline_seeds.sh makes the pipeline target's seeds from them):
//   <fuzz build>/bin/fuzz_exr_seeds fuzz/corpus/fuzz_exr
#include <ImfChannelList.h>
#include <ImfDeepFrameBuffer.h>
#include <ImfDeepScanLineOutputPart.h>
#include <ImfDeepTiledOutputPart.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfMultiPartOutputFile.h>
#include <ImfOutputPart.h>
#include <ImfPartType.h>
#include <ImfStandardAttributes.h>
#include <ImfTileDescription.h>
#include <ImfTiledOutputPart.h>
#include <half.h>

#include <cstdint>
#include <string>
#include <vector>

#include "exr_writing.h"

namespace {

struct Seed {
    const char* name;
    int width;
    int height;
    Imf::Compression compression;
    bool tiled;
    Imf::PixelType idType;
    Imf::LineOrder order = Imf::INCREASING_Y;
};

void Write(const std::string& folder, const Seed& seed)
{
    const Imath::Box2i window({2, -1}, {2 + seed.width - 1, -1 + seed.height - 1});
    Imf::Header header(window, window);
    header.compression() = seed.compression;
    header.lineOrder() = seed.order;
    const std::size_t count = static_cast<std::size_t>(seed.width) * seed.height;
    std::vector<half> colour(count);
    std::vector<float> depth(count);
    std::vector<std::uint32_t> uintIds(count);
    std::vector<float> floatIds(count);
    for (std::size_t i = 0; i < count; ++i) {
        colour[i] = half(static_cast<float>(i % 7) / 6.0f);
        depth[i] = i % 5 == 0 ? -1e30f : -1.0f - static_cast<float>(i);
        uintIds[i] = static_cast<std::uint32_t>(i % 3);
        floatIds[i] = static_cast<float>(i % 3);
    }
    Imf::FrameBuffer buffer;
    const auto add = [&](const char* name, Imf::PixelType type, void* data, std::size_t size) {
        header.channels().insert(name, Imf::Channel(type));
        buffer.insert(name, Imf::Slice::Make(type, data, window, size, size * seed.width));
    };
    for (const char* name : {"A", "B", "G", "R"}) add(name, Imf::HALF, colour.data(), sizeof(half));
    add("Z", Imf::FLOAT, depth.data(), sizeof(float));
    void* ids =
        seed.idType == Imf::UINT ? static_cast<void*>(uintIds.data()) : static_cast<void*>(floatIds.data());
    add("materialID", seed.idType, ids, 4);
    add("objectID", seed.idType, ids, 4);
    WriteFlatExr(folder + "/" + seed.name + ".exr", header, buffer, seed.tiled);
}

// A deep frame of 3 x 2 pixels holding 0 to 3 samples each, unsorted, some transparent: R, A
// (half) and Z (float); with `flat`, a flat part of object IDs follows, as a two-part file.
void WriteDeep(const std::string& folder, const char* name, bool tiled, Imf::Compression compression,
               bool flat)
{
    constexpr int WIDTH = 3, HEIGHT = 2;
    const Imath::Box2i window({0, 0}, {WIDTH - 1, HEIGHT - 1});
    std::vector<Imf::Header> headers(1, Imf::Header(window, window));
    Imf::Header& deep = headers[0];
    deep.compression() = compression;
    deep.setName("deep");
    deep.setType(tiled ? Imf::DEEPTILE : Imf::DEEPSCANLINE);
    if (tiled) deep.setTileDescription(Imf::TileDescription(2, 2));
    for (const char* channel : {"A", "R"}) deep.channels().insert(channel, Imf::Channel(Imf::HALF));
    deep.channels().insert("Z", Imf::Channel(Imf::FLOAT));
    if (flat) {
        Imf::Header& ids = headers.emplace_back(window, window);
        ids.setName("ids");
        ids.setType(Imf::SCANLINEIMAGE);
        ids.channels().insert("objectID", Imf::Channel(Imf::UINT));
    }
    const unsigned int counts[WIDTH * HEIGHT] = {2, 0, 3, 1, 2, 1};
    std::vector<half> alpha, red;
    std::vector<float> depth;
    for (int s = 0; s < 9; ++s) {
        alpha.push_back(half(s % 3 == 0 ? 0.0f : 0.5f * (s % 2 + 1)));
        red.push_back(half(0.1f * s));
        depth.push_back(static_cast<float>((s * 7) % 5 + 1));
    }
    std::vector<void*> pointers[3];
    for (int p = 0, next = 0; p < WIDTH * HEIGHT; next += static_cast<int>(counts[p]), ++p) {
        pointers[0].push_back(alpha.data() + next);
        pointers[1].push_back(red.data() + next);
        pointers[2].push_back(depth.data() + next);
    }
    Imf::DeepFrameBuffer buffer;
    buffer.insertSampleCountSlice(Imf::Slice(Imf::UINT,
                                             reinterpret_cast<char*>(const_cast<unsigned int*>(counts)),
                                             sizeof(unsigned int), sizeof(unsigned int) * WIDTH));
    const char* names[] = {"A", "R", "Z"};
    for (int c = 0; c < 3; ++c)
        buffer.insert(names[c], Imf::DeepSlice(c < 2 ? Imf::HALF : Imf::FLOAT,
                                               reinterpret_cast<char*>(pointers[c].data()), sizeof(void*),
                                               sizeof(void*) * WIDTH, c < 2 ? sizeof(half) : sizeof(float)));
    Imf::MultiPartOutputFile file((folder + "/" + name + ".exr").c_str(), headers.data(),
                                  static_cast<int>(headers.size()));
    if (tiled) {
        Imf::DeepTiledOutputPart part(file, 0);
        part.setFrameBuffer(buffer);
        part.writeTiles(0, part.numXTiles() - 1, 0, part.numYTiles() - 1);
    } else {
        Imf::DeepScanLineOutputPart part(file, 0);
        part.setFrameBuffer(buffer);
        part.writePixels(HEIGHT);
    }
    if (flat) {
        std::vector<std::uint32_t> ids = {1, 2, 3, 1, 2, 3};
        Imf::FrameBuffer idBuffer;
        idBuffer.insert("objectID", Imf::Slice::Make(Imf::UINT, ids.data(), window, 4, 4 * WIDTH));
        Imf::OutputPart part(file, 1);
        part.setFrameBuffer(idBuffer);
        part.writePixels(HEIGHT);
    }
}

// Flat channels of `width` x `height` pixels at (0, 0), each with its sampling, written as one part
// of `file`; values follow the pixel's place, so that every channel differs.
struct FlatChannel {
    const char* name;
    Imf::PixelType type;
    int sampling = 1;
};

void WriteFlatPart(Imf::MultiPartOutputFile& file, int part, const std::vector<FlatChannel>& channels,
                   int width, int height)
{
    const Imath::Box2i window({0, 0}, {width - 1, height - 1});
    std::vector<std::vector<float>> floats;
    std::vector<std::vector<half>> halves;
    std::vector<std::vector<std::uint32_t>> words;
    Imf::FrameBuffer buffer;
    for (std::size_t c = 0; c < channels.size(); ++c) {
        const FlatChannel& channel = channels[c];
        const std::size_t columns = static_cast<std::size_t>(width / channel.sampling);
        const std::size_t count = columns * static_cast<std::size_t>(height / channel.sampling);
        char* base = nullptr;
        std::size_t size = 4;
        if (channel.type == Imf::HALF) {
            std::vector<half>& samples = halves.emplace_back(count);
            for (std::size_t i = 0; i < count; ++i) samples[i] = half(static_cast<float>((i + c) % 9) / 8.0f);
            base = reinterpret_cast<char*>(samples.data());
            size = sizeof(half);
        } else if (channel.type == Imf::FLOAT) {
            std::vector<float>& samples = floats.emplace_back(count);
            for (std::size_t i = 0; i < count; ++i)
                samples[i] = i % 6 == 0 ? 1e10f : 1.0f + static_cast<float>(i);
            base = reinterpret_cast<char*>(samples.data());
        } else {
            std::vector<std::uint32_t>& samples = words.emplace_back(count);
            for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<std::uint32_t>(i % 3);
            base = reinterpret_cast<char*>(samples.data());
        }
        buffer.insert(channel.name, Imf::Slice::Make(channel.type, base, window, size, size * columns,
                                                     channel.sampling, channel.sampling));
    }
    if (file.header(part).hasTileDescription()) {
        Imf::TiledOutputPart out(file, part);
        out.setFrameBuffer(buffer);
        for (int level = 0; level < out.numLevels(); ++level) {
            // Every level is written from the full-resolution samples' first rows; only their
            // being there matters to the reader, which takes the full level alone.
            out.writeTiles(0, out.numXTiles(level) - 1, 0, out.numYTiles(level) - 1, level);
        }
    } else {
        Imf::OutputPart out(file, part);
        out.setFrameBuffer(buffer);
        out.writePixels(height);
    }
}

struct FlatPart {
    const char* name; // "" for a single-part file
    const char* view; // "" for none
    std::vector<FlatChannel> channels;
};

void WriteParts(const std::string& path, const std::vector<FlatPart>& parts, int width, int height,
                const std::vector<std::string>& multiView = {}, bool mipmapped = false)
{
    const Imath::Box2i window({0, 0}, {width - 1, height - 1});
    std::vector<Imf::Header> headers;
    for (const FlatPart& part : parts) {
        Imf::Header& header = headers.emplace_back(window, window);
        if (*part.name != 0) header.setName(part.name);
        if (*part.view != 0) header.setView(part.view);
        if (!multiView.empty()) Imf::addMultiView(header, multiView);
        if (mipmapped) {
            header.setTileDescription(Imf::TileDescription(2, 2, Imf::MIPMAP_LEVELS));
            header.setType(Imf::TILEDIMAGE);
        } else {
            header.setType(Imf::SCANLINEIMAGE);
        }
        for (const FlatChannel& channel : part.channels)
            header.channels().insert(channel.name,
                                     Imf::Channel(channel.type, channel.sampling, channel.sampling));
    }
    Imf::MultiPartOutputFile file(path.c_str(), headers.data(), static_cast<int>(headers.size()));
    for (std::size_t part = 0; part < parts.size(); ++part)
        WriteFlatPart(file, static_cast<int>(part), parts[part].channels, width, height);
}

const std::vector<FlatChannel> RGBA = {
    {"A", Imf::HALF}, {"B", Imf::HALF}, {"G", Imf::HALF}, {"R", Imf::HALF}};

std::vector<FlatChannel> With(std::vector<FlatChannel> channels, const std::vector<FlatChannel>& more)
{
    channels.insert(channels.end(), more.begin(), more.end());
    return channels;
}

void WriteLayouts(const std::string& folder)
{
    const FlatChannel depth{"Z", Imf::FLOAT};
    const FlatChannel objects{"objectID", Imf::UINT};
    WriteParts(folder + "/views_in_parts.exr",
               {{"rgba_left", "left", RGBA},
                {"depth_left", "left", {depth, objects}},
                {"rgba_right", "right", RGBA},
                {"depth_right", "right", {depth}}},
               4, 2);
    WriteParts(
        folder + "/views_in_one_part.exr",
        {{"", "",
          With(RGBA,
               {depth, objects, {"left.A", Imf::HALF}, {"left.R", Imf::HALF}, {"left.Z", Imf::FLOAT}})}},
        4, 2, {"right", "left"});
    WriteParts(
        folder + "/subsampled_colour.exr",
        {{"",
          "",
          {{"A", Imf::HALF}, {"B", Imf::HALF, 2}, {"G", Imf::HALF, 2}, {"R", Imf::HALF, 2}, depth, objects}}},
        4, 4);
    WriteParts(folder + "/subsampled_depth.exr", {{"", "", With(RGBA, {{"Z", Imf::FLOAT, 2}})}}, 4, 4);
    WriteParts(
        folder + "/luminance_chroma.exr",
        {{"", "", {{"A", Imf::HALF}, {"BY", Imf::HALF, 2}, {"RY", Imf::HALF, 2}, {"Y", Imf::HALF}, depth}}},
        4, 4);
    WriteParts(folder + "/luminance_only.exr", {{"", "", {{"Y", Imf::HALF}, depth}}}, 3, 2);
    WriteParts(folder + "/mipmapped.exr", {{"", "", With(RGBA, {depth, objects})}}, 4, 4, {}, true);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    const Seed seeds[] = {
        {"scanline_none", 4, 3, Imf::NO_COMPRESSION, false, Imf::UINT},
        {"scanline_zip", 5, 4, Imf::ZIP_COMPRESSION, false, Imf::UINT},
        {"scanline_zips_float_ids", 3, 3, Imf::ZIPS_COMPRESSION, false, Imf::FLOAT},
        {"scanline_rle", 6, 2, Imf::RLE_COMPRESSION, false, Imf::UINT},
        {"scanline_piz", 4, 4, Imf::PIZ_COMPRESSION, false, Imf::UINT},
        {"scanline_pxr24", 3, 2, Imf::PXR24_COMPRESSION, false, Imf::FLOAT},
        {"scanline_b44", 4, 4, Imf::B44_COMPRESSION, false, Imf::UINT},
        {"scanline_dwaa", 5, 3, Imf::DWAA_COMPRESSION, false, Imf::UINT},
        {"tiled_none", 5, 3, Imf::NO_COMPRESSION, true, Imf::UINT},
        {"tiled_zip", 4, 5, Imf::ZIP_COMPRESSION, true, Imf::UINT},
        {"scanline_decreasing", 4, 3, Imf::ZIP_COMPRESSION, false, Imf::UINT, Imf::DECREASING_Y},
        {"tiled_random", 5, 4, Imf::ZIP_COMPRESSION, true, Imf::UINT, Imf::RANDOM_Y},
    };
    for (const Seed& seed : seeds) Write(argv[1], seed);
    WriteDeep(argv[1], "deep_scanline_none", false, Imf::NO_COMPRESSION, false);
    WriteDeep(argv[1], "deep_scanline_zips_with_ids", false, Imf::ZIPS_COMPRESSION, true);
    WriteDeep(argv[1], "deep_tiled_rle", true, Imf::RLE_COMPRESSION, false);
    WriteLayouts(argv[1]);
    return 0;
}
