#include "output/exr_writer.h"

#include <ImfChannelList.h>
#include <ImfCompression.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfMultiPartOutputFile.h>
#include <ImfOutputPart.h>
#include <ImfPartType.h>
#include <ImfStdIO.h>
#include <ImfTileDescription.h>
#include <ImfTiledOutputPart.h>
#include <half.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

#include "base/tool_error.h"

namespace deepglass {

namespace {

// Attributes that OpenEXR works out itself for the file it writes, and the channel list, which
// is rebuilt from the part's own channels.
constexpr std::string_view LAYOUT_ATTRIBUTES[] = {"chunkCount", "version", "channels", "type", "tiles"};

Imath::Box2i BoxOf(const PixelBox& box) { return {{box.minX, box.minY}, {box.maxX, box.maxY}}; }

Imf::PixelType FileTypeOf(SampleType type)
{
    switch (type) {
    case SampleType::UINT: return Imf::UINT;
    case SampleType::HALF: return Imf::HALF;
    default: return Imf::FLOAT;
    }
}

// Compressions that would change samples on the way back in: decoded samples are not in general
// what they encode to again.
bool IsLossy(Imf::Compression compression)
{
    return compression == Imf::B44_COMPRESSION || compression == Imf::B44A_COMPRESSION ||
           compression == Imf::DWAA_COMPRESSION || compression == Imf::DWAB_COMPRESSION;
}

Imf::Header HeaderFor(const ExrFrame& frame, const std::string& name, bool multiPart,
                      std::vector<std::string>& notes)
{
    // Attributes are copied over rather than erased from a copy: this OpenEXR's Header::erase
    // does not free the attribute it removes.
    Imf::Header header;
    if (frame.header != nullptr) {
        for (auto it = frame.header->begin(); it != frame.header->end(); ++it) {
            const std::string_view attribute = it.name();
            if (std::find(std::begin(LAYOUT_ATTRIBUTES), std::end(LAYOUT_ATTRIBUTES), attribute) ==
                std::end(LAYOUT_ATTRIBUTES))
                header.insert(it.name(), it.attribute());
        }
    }
    if (frame.header == nullptr) header.compression() = Imf::ZIP_COMPRESSION;
    if (IsLossy(header.compression())) {
        notes.push_back(
            "the input's lossy compression is written as ZIP, so that unchanged pixels stay exact");
        header.compression() = Imf::ZIP_COMPRESSION;
    }
    if (multiPart && !name.empty()) header.setName(name);
    header.dataWindow() = BoxOf(frame.dataWindow);
    header.displayWindow() = BoxOf(frame.displayWindow);
    header.channels() = Imf::ChannelList();
    for (const FrameChannel& channel : frame.channels) {
        Imf::Channel described(FileTypeOf(channel.type), channel.xSampling, channel.ySampling);
        if (frame.header != nullptr)
            if (const Imf::Channel* stored = frame.header->channels().findChannel(channel.name))
                described.pLinear = stored->pLinear;
        header.channels().insert(channel.name, described);
    }
    // A tiled part stays tiled at its tile size; only the full-resolution level was read.
    if (frame.tiled && frame.header != nullptr && frame.header->hasTileDescription()) {
        Imf::TileDescription tiles = frame.header->tileDescription();
        tiles.mode = Imf::ONE_LEVEL;
        header.setTileDescription(tiles);
    } else if (header.lineOrder() == Imf::RANDOM_Y) {
        header.lineOrder() = Imf::INCREASING_Y;
    }
    // OpenEXR's multi-part writer, used for every file, wants each part's type.
    header.setType(header.hasTileDescription() ? Imf::TILEDIMAGE : Imf::SCANLINEIMAGE);
    return header;
}

// The part's samples as OpenEXR takes them. It converts sample types only when reading, so half
// channels are written from half samples (which the float samples hold exactly).
class PartBuffer {
public:
    PartBuffer(const ExrFrame& frame, const Imath::Box2i& window)
    {
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
            const std::size_t width = static_cast<std::size_t>(frame.Width() / channel.xSampling);
            buffer.insert(channel.name, Imf::Slice::Make(type, samples, window, size, size * width,
                                                         channel.xSampling, channel.ySampling));
        }
    }
    Imf::FrameBuffer buffer;

private:
    std::vector<std::vector<half>> halves;
};

// Writes every part of `file` to `stream`; the file is complete once the output is destroyed.
void WriteParts(std::ofstream& stream, const std::string& path, const ExrFile& file,
                const std::vector<Imf::Header>& headers)
{
    Imf::StdOFStream exrStream(stream, path.c_str());
    Imf::MultiPartOutputFile output(exrStream, headers.data(), static_cast<int>(headers.size()));
    for (std::size_t index = 0; index < file.parts.size(); ++index) {
        const ExrFrame& frame = file.parts[index].frame;
        for (const FrameChannel& channel : frame.channels)
            if (channel.samples.size() != static_cast<std::size_t>(frame.Width() / channel.xSampling) *
                                              static_cast<std::size_t>(frame.Height() / channel.ySampling))
                throw ToolError("cannot write " + path + ": channel " + channel.name + " was not read");
        const PartBuffer samples(frame, headers[index].dataWindow());
        const int part = static_cast<int>(index);
        if (headers[index].hasTileDescription()) {
            Imf::TiledOutputPart tiled(output, part);
            tiled.setFrameBuffer(samples.buffer);
            tiled.writeTiles(0, tiled.numXTiles() - 1, 0, tiled.numYTiles() - 1);
        } else {
            Imf::OutputPart scanline(output, part);
            scanline.setFrameBuffer(samples.buffer);
            scanline.writePixels(frame.Height());
        }
    }
}

} // namespace

void WriteExrFile(const std::string& path, const ExrFile& file, std::vector<std::string>& notes)
{
    try {
        std::vector<Imf::Header> headers;
        for (const ExrPart& part : file.parts) {
            headers.push_back(HeaderFor(part.frame, part.name, file.parts.size() > 1, notes));
            if (part.deep)
                notes.push_back("the deep part" + (part.name.empty() ? std::string() : " " + part.name) +
                                " is written flattened: one sample a pixel, its colour composited front to "
                                "back, its depth the nearest visible sample's");
        }
        std::sort(notes.begin(), notes.end());
        notes.erase(std::unique(notes.begin(), notes.end()), notes.end());
        // The file's stream is ours, so that its state can be checked once OpenEXR is done: the
        // output writes its chunk tables, and the stream its last buffered bytes, only as they
        // close, where OpenEXR drops any failure, and a full disk would leave a cut-short file
        // that looked written.
        std::ofstream stream(path, std::ios::binary);
        if (!stream) throw ToolError("cannot write " + path + ": " + std::strerror(errno));
        errno = 0;
        WriteParts(stream, path, file, headers);
        int reason = stream.fail() ? errno : 0; // the failed write's, where the output's close failed
        if (!stream.fail()) {
            stream.close();
            reason = stream.fail() ? errno : 0;
        }
        if (stream.fail())
            throw ToolError("cannot write " + path + ": " +
                            (reason != 0 ? std::strerror(reason) : "the file could not be written whole"));
    } catch (const ToolError&) {
        throw;
    } catch (const std::exception& error) {
        throw ToolError("cannot write " + path + ": " + error.what());
    }
}

void WriteExr(const std::string& path, ExrFrame frame)
{
    ExrFile file;
    file.parts.emplace_back().frame = std::move(frame);
    std::vector<std::string> notes;
    WriteExrFile(path, file, notes);
}

} // namespace deepglass
