// Writes the EXR target's seed corpus: small frames in each storage form and compression the
// reader meets, with colour, depth and both ID channels. Run once by hand after a change:
//   <fuzz build>/bin/fuzz_exr_seeds fuzz/corpus/fuzz_exr
#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfOutputFile.h>
#include <ImfTiledOutputFile.h>
#include <half.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Seed {
    const char* name;
    int width;
    int height;
    Imf::Compression compression;
    bool tiled;
    Imf::PixelType idType;
};

void Write(const std::string& folder, const Seed& seed)
{
    const Imath::Box2i window({2, -1}, {2 + seed.width - 1, -1 + seed.height - 1});
    Imf::Header header(window, window);
    header.compression() = seed.compression;
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
    const std::string path = folder + "/" + seed.name + ".exr";
    if (seed.tiled) {
        header.setTileDescription(Imf::TileDescription(2, 2));
        Imf::TiledOutputFile file(path.c_str(), header);
        file.setFrameBuffer(buffer);
        file.writeTiles(0, file.numXTiles() - 1, 0, file.numYTiles() - 1);
    } else {
        Imf::OutputFile file(path.c_str(), header);
        file.setFrameBuffer(buffer);
        file.writePixels(seed.height);
    }
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
    };
    for (const Seed& seed : seeds) Write(argv[1], seed);
    return 0;
}
