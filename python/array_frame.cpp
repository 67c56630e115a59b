#include "array_frame.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfOutputFile.h>

#include "base/tool_error.h"

namespace deepglass {

void WriteArrayFrame(const std::string& path, int width, int height,
                     const std::vector<ArrayChannel>& channels)
{
    try {
        // Uncompressed: the file lives for one run and is read once.
        Imf::Header header(width, height);
        header.compression() = Imf::NO_COMPRESSION;
        Imf::FrameBuffer buffer;
        for (const ArrayChannel& channel : channels) {
            header.channels().insert(channel.name, Imf::Channel(channel.type));
            // OpenEXR only reads through the slice's pointer when it writes.
            buffer.insert(channel.name, Imf::Slice(channel.type, const_cast<char*>(channel.first),
                                                   channel.xStride, channel.yStride));
        }
        Imf::OutputFile file(path.c_str(), header);
        file.setFrameBuffer(buffer);
        file.writePixels(height);
    } catch (const std::exception& error) {
        throw ToolError("cannot write " + path + ": " + error.what());
    }
}

} // namespace deepglass
