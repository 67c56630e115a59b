#include "files/exr_reader.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfInputPart.h>
#include <ImfMultiPartInputFile.h>
#include <ImfMultiView.h>
#include <ImfPartHelper.h>
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
#include "files/memory_stream.h"

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

std::string PartName(const Imf::Header& header, int part)
{
    return "part " + std::to_string(part) + (header.hasName() ? " (" + header.name() + ")" : std::string());
}

// The headers of every part and every channel's view, no samples yet. Deep parts are refused by
// name; they hold no frame the filter could take.
ExrFile LayoutOf(const Imf::MultiPartInputFile& file, const ExrReadLimits& limits)
{
    ExrFile layout;
    std::size_t pixels = 0;
    for (int index = 0; index < file.parts(); ++index) {
        const Imf::Header& header = file.header(index);
        if (header.hasType() && Imf::isDeepData(header.type()))
            throw ReadFailure(
                (file.parts() == 1 ? std::string("a deep EXR file") : PartName(header, index) + " is deep") +
                "; only flat (scanline or tiled) frames can be filtered");
        ExrPart& part = layout.parts.emplace_back();
        part.name = header.hasName() ? header.name() : "";
        part.view = header.hasView() ? header.view() : "";
        ExrFrame& frame = part.frame;
        frame.dataWindow = BoxOf(header.dataWindow());
        frame.displayWindow = BoxOf(header.displayWindow());
        frame.tiled = header.hasTileDescription();
        frame.header = std::make_shared<const Imf::Header>(header);
        CheckSize(frame.dataWindow, limits);
        pixels += frame.PixelCount();
        if (limits.maxPixels != 0 && pixels > limits.maxPixels)
            throw ReadFailure("the file has more than " + std::to_string(limits.maxPixels) + " pixels");
        for (auto it = header.channels().begin(); it != header.channels().end(); ++it) {
            FrameChannel& held = frame.channels.emplace_back();
            held.name = it.name();
            held.type = TypeOf(it.channel().type);
            held.xSampling = it.channel().xSampling;
            held.ySampling = it.channel().ySampling;
        }
    }
    if (file.parts() == 1 && Imf::hasMultiView(file.header(0)))
        layout.multiView = Imf::multiView(file.header(0));
    std::vector<Imf::MultiViewChannelName> names;
    Imf::GetChannelsInMultiPartFile(file, names);
    for (const Imf::MultiViewChannelName& name : names) {
        const FrameChannel* stored = layout.parts[name.part_number].frame.Find(name.internal_name);
        layout.channels.push_back({name.name, name.view, name.part_number, name.internal_name, stored->type});
    }
    return layout;
}

// Reads the samples of the picked channels of one part.
void ReadPart(Imf::MultiPartInputFile& file, int index, ExrFile& layout, const ChannelPick& pick)
{
    ExrFrame& frame = layout.parts[index].frame;
    const Imath::Box2i window = file.header(index).dataWindow();
    Imf::FrameBuffer buffer;
    for (FrameChannel& held : frame.channels) {
        const ViewChannel* channel = nullptr;
        for (const ViewChannel& candidate : layout.channels)
            if (candidate.part == index && candidate.storedName == held.name) channel = &candidate;
        if (pick && channel != nullptr && !pick(layout, *channel)) continue;
        const std::size_t width = static_cast<std::size_t>(frame.Width() / held.xSampling);
        held.samples.assign(width * static_cast<std::size_t>(frame.Height() / held.ySampling), 0);
        const Imf::PixelType type = held.type == SampleType::UINT ? Imf::UINT : Imf::FLOAT;
        buffer.insert(held.name,
                      Imf::Slice::Make(type, held.samples.data(), window, sizeof(std::uint32_t),
                                       sizeof(std::uint32_t) * width, held.xSampling, held.ySampling));
    }
    if (buffer.begin() == buffer.end()) return;
    Imf::InputPart part(file, index);
    part.setFrameBuffer(buffer);
    part.readPixels(frame.dataWindow.minY, frame.dataWindow.maxY);
    if (!file.partComplete(index))
        throw ReadFailure("incomplete EXR file: some of its pixels were never written");
}

ExrFile ReadStream(Imf::IStream& stream, const ExrReadLimits& limits, const ChannelPick& pick,
                   std::string& note)
{
    bool tiled = false;
    bool deep = false;
    bool multiPart = false;
    if (!Imf::isOpenExrFile(stream, tiled, deep, multiPart)) throw ReadFailure("not an EXR file");
    if (deep && !multiPart)
        throw ReadFailure("a deep EXR file; only flat (scanline or tiled) frames can be filtered");
    stream.seekg(0);

    Imf::MultiPartInputFile file(stream);
    ExrFile layout = LayoutOf(file, limits);
    for (int index = 0; index < file.parts(); ++index) {
        const Imf::Header& header = file.header(index);
        if (header.hasTileDescription() && header.tileDescription().mode != Imf::ONE_LEVEL)
            note = PartName(header, index) + " is mip-mapped; only its full-resolution level is read";
        ReadPart(file, index, layout, pick);
    }
    return layout;
}

ExrReadResult ReadGuarded(Imf::IStream& stream, const std::string& name, const ExrReadLimits& limits,
                          const ChannelPick& pick)
{
    SetOpenLimitsOnce();
    ExrReadResult result;
    try {
        result.file = ReadStream(stream, limits, pick, result.note);
    } catch (const ToolError&) {
        throw; // from the caller's pick, already in its own words
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

ExrReadResult ReadExrFile(const std::string& path, const ExrReadLimits& limits, const ChannelPick& pick)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) throw ToolError("cannot read " + path + ": " + std::strerror(errno));
    if (S_ISDIR(info.st_mode)) throw ToolError("cannot read " + path + ": it is a folder");
    std::ifstream file(path, std::ios::binary);
    if (!file) throw ToolError("cannot read " + path + ": " + std::strerror(errno));
    Imf::StdIFStream stream(file, path.c_str());
    return ReadGuarded(stream, path, limits, pick);
}

ExrReadResult ReadExrMemory(const void* data, std::size_t size, const std::string& name,
                            const ExrReadLimits& limits, const ChannelPick& pick)
{
    MemoryStream stream(static_cast<const char*>(data), size, name);
    return ReadGuarded(stream, name, limits, pick);
}
