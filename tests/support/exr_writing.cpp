#include "exr_writing.h"

#include <ImfOutputFile.h>
#include <ImfTileDescription.h>
#include <ImfTiledOutputFile.h>

void WriteFlatExr(const std::string& path, Imf::Header header, const Imf::FrameBuffer& buffer, bool tiled)
{
    if (tiled) {
        header.setTileDescription(Imf::TileDescription(2, 2));
        Imf::TiledOutputFile file(path.c_str(), header);
        file.setFrameBuffer(buffer);
        file.writeTiles(0, file.numXTiles() - 1, 0, file.numYTiles() - 1);
    } else {
        Imf::OutputFile file(path.c_str(), header);
        file.setFrameBuffer(buffer);
        const Imath::Box2i& data = header.dataWindow();
        file.writePixels(data.max.y - data.min.y + 1);
    }
}
