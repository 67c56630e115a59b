#include "exr/exr_reader.h"

#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputPart.h>
#include <ImfMultiPartInputFile.h>
#include <ImfStdIO.h>

#include <algorithm>

#include "exr/deep_part.h"
#include "exr/memory_stream.h"

namespace deepglass {

namespace {

// Whether the samples of `held`, a channel of part `index`, are to be read.
bool Picked(const ExrFile& layout, int index, const FrameChannel& held, const ChannelPick& pick)
{
    const ViewChannel* channel = nullptr;
    for (const ViewChannel& candidate : layout.channels)
        if (candidate.part == index && candidate.storedName == held.name) channel = &candidate;
    return !pick || channel == nullptr || pick(layout, *channel);
}

// Reads the picked channels of a deep part, flattened, and its sample counts.
void ReadDeepPart(Imf::MultiPartInputFile& file, int index, ExrFile& layout, const ChannelPick& pick,
                  const ExrReadLimits& limits, std::uint64_t fileBytes)
{
    ExrPart& part = layout.parts[index];
    ExrFrame& frame = part.frame;
    DeepPartReader deep(file, index, frame, limits.maxSampleBytes, fileBytes);
    part.deepCounts = deep.Counts();
    std::vector<int> wanted;
    for (std::size_t c = 0; c < frame.channels.size(); ++c) {
        if (!Picked(layout, index, frame.channels[c], pick)) continue;
        wanted.push_back(static_cast<int>(c));
        frame.channels[c].samples.assign(frame.PixelCount(), 0);
    }
    if (wanted.empty()) return;
    const std::size_t width = static_cast<std::size_t>(frame.Width());
    std::vector<std::uint32_t> scratch;
    deep.ReadRows(frame.dataWindow.minY, frame.dataWindow.maxY, wanted, scratch,
                  [&](std::size_t k, int y, const std::uint32_t* row) {
                      std::copy_n(row, width,
                                  frame.channels[wanted[k]].samples.begin() +
                                      static_cast<std::ptrdiff_t>(y - frame.dataWindow.minY) *
                                          static_cast<std::ptrdiff_t>(width));
                  });
    if (!file.partComplete(index))
        throw ExrReadFailure("incomplete EXR file: some of its pixels were never written");
}

} // namespace

void ReadPartSamples(Imf::MultiPartInputFile& file, int index, ExrFile& layout, const ChannelPick& pick,
                     const ExrReadLimits& limits, std::uint64_t fileBytes)
{
    if (layout.parts[index].deep) return ReadDeepPart(file, index, layout, pick, limits, fileBytes);
    ExrFrame& frame = layout.parts[index].frame;
    const Imath::Box2i window = file.header(index).dataWindow();
    Imf::FrameBuffer buffer;
    for (FrameChannel& held : frame.channels) {
        if (!Picked(layout, index, held, pick)) continue;
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
        throw ExrReadFailure("incomplete EXR file: some of its pixels were never written");
}

namespace {

ExrReadResult ReadStream(Imf::IStream& stream, std::uint64_t size, const std::string& name,
                         const ExrReadLimits& limits, const ChannelPick& pick)
{
    ExrReadResult result;
    GuardExrRead(name, [&] {
        const std::unique_ptr<Imf::MultiPartInputFile> file = OpenExrStream(stream, size, limits);
        result.file = ExrLayoutOf(*file, limits, result.note);
        for (int index = 0; index < file->parts(); ++index)
            ReadPartSamples(*file, index, result.file, pick, limits, size);
    });
    return result;
}

} // namespace

ExrReadResult ReadExrFile(const std::string& path, const ExrReadLimits& limits, const ChannelPick& pick)
{
    const std::unique_ptr<std::ifstream> file = OpenInputFile(path);
    Imf::StdIFStream stream(*file, path.c_str());
    return ReadStream(stream, InputFileSize(path), path, limits, pick);
}

ExrReadResult ReadExrMemory(const void* data, std::size_t size, const std::string& name,
                            const ExrReadLimits& limits, const ChannelPick& pick)
{
    MemoryStream stream(static_cast<const char*>(data), size, name);
    return ReadStream(stream, size, name, limits, pick);
}

} // namespace deepglass
