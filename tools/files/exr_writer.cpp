#include "files/exr_writer.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfOutputFile.h>
#include <half.h>

#include <algorithm>
#include <iterator>
#include <string_view>
#include <vector>

#include "cli/tool_error.h"

namespace {

// Attributes that describe how a read file was laid out rather than what it shows (the written
// file is always one scanline part), and the channel list, which is the frame's own.
constexpr std::string_view LAYOUT_ATTRIBUTES[] = {"tiles", "type",    "chunkCount",
                                                  "name",  "version", "channels"};

Imath::Box2i BoxOf(const PixelBox& box) { return {{box.minX, box.minY}, {box.maxX, box.maxY}}; }

Imf::PixelType FileTypeOf(SampleType type)
{
    switch (type) {
    case SampleType::UINT: return Imf::UINT;
    case SampleType::HALF: return Imf::HALF;
    default: return Imf::FLOAT;
    }
}

Imf::Header HeaderFor(const ExrFrame& frame)
{
    // Attributes are copied over rather than erased from a copy: this OpenEXR's Header::erase
    // does not free the attribute it removes.
    Imf::Header header;
    if (frame.header != nullptr) {
        for (auto it = frame.header->begin(); it != frame.header->end(); ++it) {
            const std::string_view name = it.name();
            if (std::find(std::begin(LAYOUT_ATTRIBUTES), std::end(LAYOUT_ATTRIBUTES), name) ==
                std::end(LAYOUT_ATTRIBUTES))
                header.insert(it.name(), it.attribute());
        }
    }
    if (header.lineOrder() == Imf::RANDOM_Y) header.lineOrder() = Imf::INCREASING_Y;
    if (frame.header == nullptr) header.compression() = Imf::ZIP_COMPRESSION;
    header.dataWindow() = BoxOf(frame.dataWindow);
    header.displayWindow() = BoxOf(frame.displayWindow);
    header.channels() = Imf::ChannelList();
    for (const FrameChannel& channel : frame.channels)
        header.channels().insert(channel.name, Imf::Channel(FileTypeOf(channel.type)));
    return header;
}

} // namespace

void WriteExr(const std::string& path, const ExrFrame& frame)
{
    try {
        const Imf::Header header = HeaderFor(frame);
        Imf::FrameBuffer buffer;
        // OpenEXR converts sample types only when reading, so half channels are written from
        // half samples.
        std::vector<std::vector<half>> halves;
        for (const FrameChannel& channel : frame.channels) {
            const void* samples = channel.samples.data();
            Imf::PixelType type = channel.type == SampleType::UINT ? Imf::UINT : Imf::FLOAT;
            std::size_t size = sizeof(std::uint32_t);
            if (channel.type == SampleType::HALF) {
                std::vector<half>& converted = halves.emplace_back(channel.samples.size());
                for (std::size_t i = 0; i < converted.size(); ++i) converted[i] = half(channel.FloatAt(i));
                samples = converted.data();
                type = Imf::HALF;
                size = sizeof(half);
            }
            buffer.insert(channel.name, Imf::Slice::Make(type, samples, header.dataWindow(), size,
                                                         size * static_cast<std::size_t>(frame.Width())));
        }
        Imf::OutputFile file(path.c_str(), header);
        file.setFrameBuffer(buffer);
        file.writePixels(frame.Height());
    } catch (const std::exception& error) {
        throw ToolError("cannot write " + path + ": " + error.what());
    }
}
