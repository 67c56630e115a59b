#include "files/exr_reader.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfInputPart.h>
#include <ImfMultiPartInputFile.h>
#include <ImfPartType.h>
#include <ImfStdIO.h>
#include <ImfTestFile.h>
#include <ImfVersion.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <new>
#include <stdexcept>
#include <sys/stat.h>

#include "cli/tool_error.h"

namespace {

// Bounds that OpenEXR checks while it opens a file, before it sizes any table or tile buffer by
// them, so a damaged header cannot make it allocate without limit. Frames up to these sizes get
// the tool's own, clearer size message.
constexpr int EXR_OPEN_MAX_SIDE = 1 << 20;
constexpr int EXR_OPEN_MAX_TILE_SIDE = 4096;

// A fault of the file itself, named as it is; anything else that stops a read is damage.
struct ReadFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// An input stream over a buffer that someone else owns.
class MemoryStream : public Imf::IStream {
public:
    MemoryStream(const char* data, std::size_t size, const std::string& name)
        : Imf::IStream(name.c_str()), data(data), size(size)
    {
    }

    bool read(char c[], int n) override
    {
        if (n < 0 || static_cast<std::uint64_t>(n) > size - position)
            throw std::runtime_error("unexpected end of data");
        std::memcpy(c, data + position, static_cast<std::size_t>(n));
        position += static_cast<std::uint64_t>(n);
        return position < size;
    }
    std::uint64_t tellg() override { return position; }
    void seekg(std::uint64_t pos) override { position = std::min<std::uint64_t>(pos, size); }

private:
    const char* data;
    std::uint64_t size;
    std::uint64_t position = 0;
};

void SetOpenLimitsOnce()
{
    static const bool done = [] {
        Imf::Header::setMaxImageSize(EXR_OPEN_MAX_SIDE, EXR_OPEN_MAX_SIDE);
        Imf::Header::setMaxTileSize(EXR_OPEN_MAX_TILE_SIDE, EXR_OPEN_MAX_TILE_SIDE);
        return true;
    }();
    (void)done;
}

PixelBox BoxOf(const Imath::Box2i& box) { return {box.min.x, box.min.y, box.max.x, box.max.y}; }

SampleType TypeOf(Imf::PixelType type)
{
    switch (type) {
    case Imf::UINT: return SampleType::UINT;
    case Imf::HALF: return SampleType::HALF;
    default: return SampleType::FLOAT;
    }
}

void CheckSize(const PixelBox& window, const ExrReadLimits& limits)
{
    const std::int64_t width = window.Width();
    const std::int64_t height = window.Height();
    if (width > FRAME_MAX_SIDE || height > FRAME_MAX_SIDE)
        throw ReadFailure("the frame is " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels; frames can be at most " + std::to_string(FRAME_MAX_SIDE) +
                          " pixels wide and high");
    if (limits.maxPixels != 0 && static_cast<std::uint64_t>(width * height) > limits.maxPixels)
        throw ReadFailure("the frame has more than " + std::to_string(limits.maxPixels) + " pixels");
}

// Opens the stream's first part, allocates every channel and reads all samples into them.
ExrFrame ReadStream(Imf::IStream& stream, const ExrReadLimits& limits, std::string& note)
{
    bool tiled = false;
    bool deep = false;
    bool multiPart = false;
    if (!Imf::isOpenExrFile(stream, tiled, deep, multiPart)) throw ReadFailure("not an EXR file");
    if (deep) throw ReadFailure("a deep EXR file; only flat (scanline or tiled) frames can be filtered");
    stream.seekg(0);

    Imf::MultiPartInputFile file(stream);
    const Imf::Header& header = file.header(0);
    if (header.hasType() && Imf::isDeepData(header.type()))
        throw ReadFailure("a deep EXR file; only flat (scanline or tiled) frames can be filtered");
    if (file.parts() > 1)
        note = "the file has " + std::to_string(file.parts()) + " parts; only the first is read";

    ExrFrame frame;
    frame.dataWindow = BoxOf(header.dataWindow());
    frame.displayWindow = BoxOf(header.displayWindow());
    frame.tiled = header.hasTileDescription();
    frame.header = std::make_shared<const Imf::Header>(header);
    CheckSize(frame.dataWindow, limits);

    const std::size_t pixelCount = frame.PixelCount();
    Imf::FrameBuffer buffer;
    for (auto it = header.channels().begin(); it != header.channels().end(); ++it) {
        const Imf::Channel& channel = it.channel();
        if (channel.xSampling != 1 || channel.ySampling != 1)
            throw ReadFailure("channel " + std::string(it.name()) +
                              " is subsampled; only full-resolution channels are supported");
        FrameChannel& held = frame.channels.emplace_back();
        held.name = it.name();
        held.type = TypeOf(channel.type);
        held.samples.assign(pixelCount, 0);
    }
    for (FrameChannel& held : frame.channels) {
        const Imf::PixelType type = held.type == SampleType::UINT ? Imf::UINT : Imf::FLOAT;
        buffer.insert(held.name,
                      Imf::Slice::Make(type, held.samples.data(), header.dataWindow(), sizeof(std::uint32_t),
                                       sizeof(std::uint32_t) * frame.Width()));
    }
    Imf::InputPart part(file, 0);
    part.setFrameBuffer(buffer);
    part.readPixels(frame.dataWindow.minY, frame.dataWindow.maxY);
    if (!file.partComplete(0))
        throw ReadFailure("incomplete EXR file: some of its pixels were never written");
    return frame;
}

ExrReadResult ReadGuarded(Imf::IStream& stream, const std::string& name, const ExrReadLimits& limits)
{
    SetOpenLimitsOnce();
    ExrReadResult result;
    try {
        result.frame = ReadStream(stream, limits, result.note);
    } catch (const ReadFailure& failure) {
        throw ToolError(name + ": " + failure.what());
    } catch (const std::bad_alloc&) {
        throw ToolError(name + ": not enough memory to read the frame");
    } catch (const std::exception& failure) {
        throw ToolError(name + ": damaged or truncated EXR file (" + std::string(failure.what()) + ")");
    }
    return result;
}

} // namespace

ExrReadResult ReadExrFile(const std::string& path, const ExrReadLimits& limits)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) throw ToolError("cannot read " + path + ": " + std::strerror(errno));
    if (S_ISDIR(info.st_mode)) throw ToolError("cannot read " + path + ": it is a folder");
    std::ifstream file(path, std::ios::binary);
    if (!file) throw ToolError("cannot read " + path + ": " + std::strerror(errno));
    Imf::StdIFStream stream(file, path.c_str());
    return ReadGuarded(stream, path, limits);
}

ExrReadResult ReadExrMemory(const void* data, std::size_t size, const std::string& name,
                            const ExrReadLimits& limits)
{
    MemoryStream stream(static_cast<const char*>(data), size, name);
    return ReadGuarded(stream, name, limits);
}
