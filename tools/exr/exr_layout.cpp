#include "exr/exr_layout.h"

#include <ImfChannelList.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfMultiPartInputFile.h>
#include <ImfMultiView.h>
#include <ImfPartHelper.h>
#include <ImfPartType.h>
#include <ImfTestFile.h>
#include <ImfThreading.h>
#include <ImfTileDescription.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <sys/stat.h>

#include "base/tool_error.h"
#include "claims/exr_claims.h"
#include "image/deep_flatten.h"

namespace deepglass {

namespace {

// Bounds that OpenEXR checks while it opens a file, before it sizes any table or tile buffer by
// them, so a damaged header cannot make it allocate without limit. Frames up to these sizes get
// the tool's own, clearer size message.
constexpr int EXR_OPEN_MAX_SIDE = 1 << 20;
constexpr int EXR_OPEN_MAX_TILE_SIDE = 4096;

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
        throw ExrReadFailure("the frame is " + std::to_string(width) + " x " + std::to_string(height) +
                             " pixels; frames can be at most " + std::to_string(FRAME_MAX_SIDE) +
                             " pixels wide and high");
    if (limits.maxPixels != 0 && static_cast<std::uint64_t>(width * height) > limits.maxPixels)
        throw ExrReadFailure("the frame has more than " + std::to_string(limits.maxPixels) + " pixels");
}

// Scan lines in a chunk of each compression, as OpenEXR stores them.
std::uint64_t LinesPerChunk(Imf::Compression compression)
{
    switch (compression) {
    case Imf::ZIP_COMPRESSION:
    case Imf::PXR24_COMPRESSION: return 16;
    case Imf::PIZ_COMPRESSION:
    case Imf::B44_COMPRESSION:
    case Imf::B44A_COMPRESSION:
    case Imf::DWAA_COMPRESSION: return 32;
    case Imf::DWAB_COMPRESSION: return 256;
    default: return 1;
    }
}

std::uint64_t ChunkBytesOf(const Imf::Header& header)
{
    const Imath::Box2i& window = header.dataWindow();
    const std::uint64_t width = static_cast<std::uint64_t>(std::int64_t{window.max.x} - window.min.x + 1);
    std::uint64_t pixelBytes = 0, rowBytes = 0;
    for (auto it = header.channels().begin(); it != header.channels().end(); ++it) {
        const std::uint64_t bytes = StoredBytes(TypeOf(it.channel().type));
        pixelBytes += bytes;
        rowBytes += width / static_cast<std::uint64_t>(std::max(it.channel().xSampling, 1)) * bytes;
    }
    if (header.hasTileDescription())
        return std::uint64_t{header.tileDescription().xSize} * header.tileDescription().ySize * pixelBytes;
    // OpenEXR sizes its line buffers by the rows a chunk holds, which are no more than the part has.
    const std::uint64_t height = static_cast<std::uint64_t>(std::int64_t{window.max.y} - window.min.y + 1);
    return std::min<std::uint64_t>(LinesPerChunk(header.compression()), height) * rowBytes;
}

std::string PartName(const Imf::Header& header, int part)
{
    return "part " + std::to_string(part) + (header.hasName() ? " (" + header.name() + ")" : std::string());
}

} // namespace

std::unique_ptr<std::ifstream> OpenInputFile(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) throw ToolError("cannot read " + path + ": " + std::strerror(errno));
    if (S_ISDIR(info.st_mode)) throw ToolError("cannot read " + path + ": it is a folder");
    auto file = std::make_unique<std::ifstream>(path, std::ios::binary);
    if (!*file) throw ToolError("cannot read " + path + ": " + std::strerror(errno));
    return file;
}

std::uint64_t InputFileSize(const std::string& path)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) throw ToolError("cannot read " + path + ": " + error.message());
    return size;
}

std::unique_ptr<Imf::MultiPartInputFile> OpenExrStream(Imf::IStream& stream, std::uint64_t size,
                                                       const ExrReadLimits& limits)
{
    SetOpenLimitsOnce();
    bool tiled = false;
    bool deep = false;
    bool multiPart = false; // both known from the headers that follow
    if (!Imf::isOpenExrFile(stream, tiled, deep, multiPart)) throw ExrReadFailure("not an EXR file");
    // OpenEXR's C++ library sizes tables and buffers by what a header claims before it reads what
    // they hold, so the claims are checked against the file first.
    const ByteSource source = [&](std::uint64_t offset, void* buffer, std::size_t count) -> std::size_t {
        try {
            stream.seekg(offset);
            stream.read(static_cast<char*>(buffer), static_cast<int>(count));
            return count;
        } catch (const std::exception&) {
            return 0; // the check is C code, through which no exception may pass
        }
    };
    const std::string problem = ClaimsProblem(source, size, limits.maxSampleBytes);
    if (!problem.empty()) throw ExrReadFailure(problem);
    stream.seekg(0);
    return std::make_unique<Imf::MultiPartInputFile>(stream);
}

ExrFile ExrLayoutOf(const Imf::MultiPartInputFile& file, const ExrReadLimits& limits, std::string& note)
{
    ExrFile layout;
    std::size_t pixels = 0;
    for (int index = 0; index < file.parts(); ++index) {
        const Imf::Header& header = file.header(index);
        if (header.hasTileDescription() && header.tileDescription().mode != Imf::ONE_LEVEL)
            note = PartName(header, index) + " is mip-mapped; only its full-resolution level is read";
        ExrPart& part = layout.parts.emplace_back();
        part.name = header.hasName() ? header.name() : "";
        part.view = header.hasView() ? header.view() : "";
        part.deep = header.hasType() && Imf::isDeepData(header.type());
        ExrFrame& frame = part.frame;
        frame.dataWindow = BoxOf(header.dataWindow());
        frame.displayWindow = BoxOf(header.displayWindow());
        frame.tiled = header.hasTileDescription();
        frame.header = std::make_shared<const Imf::Header>(header);
        if (!part.deep) part.chunkBytes = ChunkBytesOf(header);
        CheckSize(frame.dataWindow, limits);
        pixels += frame.PixelCount();
        if (limits.maxPixels != 0 && pixels > limits.maxPixels)
            throw ExrReadFailure("the file has more than " + std::to_string(limits.maxPixels) + " pixels");
        for (auto it = header.channels().begin(); it != header.channels().end(); ++it) {
            FrameChannel& held = frame.channels.emplace_back();
            held.name = it.name();
            held.type = TypeOf(it.channel().type);
            held.xSampling = it.channel().xSampling;
            held.ySampling = it.channel().ySampling;
        }
        // A deep part whose samples cannot be ordered is refused before any is read.
        if (part.deep) {
            try {
                const DeepPlan plan(frame.channels);
            } catch (const ExrReadFailure& failure) {
                throw ExrReadFailure(PartName(header, index) + ": " + failure.what());
            }
        }
    }
    if (file.parts() == 1 && Imf::hasMultiView(file.header(0)))
        layout.multiView = Imf::multiView(file.header(0));
    std::vector<Imf::MultiViewChannelName> names;
    Imf::GetChannelsInMultiPartFile(file, names);
    for (const Imf::MultiViewChannelName& name : names) {
        const FrameChannel* stored = layout.parts[name.part_number].frame.Find(name.internal_name);
        layout.channels.push_back({name.name, name.view, name.part_number, name.internal_name, stored->type,
                                   stored->xSampling, stored->ySampling});
    }
    return layout;
}

void SetExrDecodeThreads(int threads) { Imf::setGlobalThreadCount(threads); }

int ExrDecodeThreads() { return Imf::globalThreadCount(); }

void GuardExrRead(const std::string& name, const std::function<void()>& read)
{
    try {
        read();
    } catch (const ToolError&) {
        throw;
    } catch (const ExrReadFailure& failure) {
        throw ToolError(name + ": " + failure.what());
    } catch (const std::bad_alloc&) {
        throw ToolError(name + ": not enough memory to read the frame");
    } catch (const std::exception& failure) {
        throw ToolError(name + ": damaged or truncated EXR file (" + std::string(failure.what()) + ")");
    }
}

} // namespace deepglass
