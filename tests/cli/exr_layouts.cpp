#include "exr_layouts.h"

#include <ImfChannelList.h>
#include <ImfDeepFrameBuffer.h>
#include <ImfDeepScanLineOutputPart.h>
#include <ImfDeepTiledOutputPart.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputPart.h>
#include <ImfMultiPartInputFile.h>
#include <ImfMultiPartOutputFile.h>
#include <ImfOutputPart.h>
#include <ImfPartType.h>
#include <ImfStandardAttributes.h>
#include <ImfStringAttribute.h>
#include <ImfTileDescription.h>
#include <half.h>

#include <bit>
#include <cstring>

namespace fs = std::filesystem;

namespace {

std::uint32_t Stored(double value, Imf::PixelType type)
{
    if (type == Imf::HALF) return half(static_cast<float>(value)).bits();
    if (type == Imf::FLOAT) return std::bit_cast<std::uint32_t>(static_cast<float>(value));
    return static_cast<std::uint32_t>(value);
}

// The header of a flat part; the parts of a file share one display window, the first's data window.
Imf::Header FlatHeader(const TestPart& part, const std::vector<Imf::Header>& before,
                       const std::vector<std::string>& multiView)
{
    const TestFrame& frame = part.frame;
    const Imath::Box2i data({frame.minX, frame.minY},
                            {frame.minX + frame.width - 1, frame.minY + frame.height - 1});
    Imf::Header header(before.empty() ? data : before.front().displayWindow(), data);
    if (!part.name.empty()) header.setName(part.name);
    if (!part.view.empty()) header.setView(part.view);
    if (!multiView.empty()) Imf::addMultiView(header, multiView);
    header.insert("comments", Imf::StringAttribute("kept"));
    for (const auto& [name, value] : part.attributes) header.insert(name, Imf::StringAttribute(value));
    header.setType(Imf::SCANLINEIMAGE);
    for (const TestChannel& channel : frame.channels) {
        header.channels().insert(channel.name,
                                 Imf::Channel(channel.type, channel.sampling, channel.sampling));
    }
    return header;
}

void WriteFlatPart(Imf::MultiPartOutputFile& file, int index, const TestPart& part, const Imf::Header& header)
{
    const TestFrame& frame = part.frame;
    std::vector<std::vector<std::uint32_t>> words;
    std::vector<std::vector<std::uint16_t>> halves;
    Imf::FrameBuffer buffer;
    for (const TestChannel& channel : frame.channels) {
        const int sampling = channel.sampling;
        const std::size_t width = static_cast<std::size_t>(frame.width / sampling);
        const Imath::Box2i window = header.dataWindow();
        if (channel.type == Imf::HALF) {
            std::vector<std::uint16_t>& samples = halves.emplace_back();
            for (double value : channel.values)
                samples.push_back(static_cast<std::uint16_t>(Stored(value, Imf::HALF)));
            buffer.insert(channel.name, Imf::Slice::Make(Imf::HALF, samples.data(), window, 2, 2 * width,
                                                         sampling, sampling));
        } else {
            std::vector<std::uint32_t>& samples = words.emplace_back();
            for (double value : channel.values) samples.push_back(Stored(value, channel.type));
            buffer.insert(channel.name, Imf::Slice::Make(channel.type, samples.data(), window, 4, 4 * width,
                                                         sampling, sampling));
        }
    }
    Imf::OutputPart out(file, index);
    out.setFrameBuffer(buffer);
    out.writePixels(frame.height);
}

void WriteDeepPart(Imf::MultiPartOutputFile& file, int index, const DeepTestPart& part)
{
    const std::size_t pixels = part.pixels.size();
    std::vector<unsigned int> counts(pixels);
    std::vector<std::vector<half>> colour(4);
    std::vector<std::vector<float>> depth(1);
    std::vector<std::vector<void*>> pointers(5, std::vector<void*>(pixels));
    std::size_t total = 0;
    for (std::size_t p = 0; p < pixels; ++p)
        total += counts[p] = static_cast<unsigned int>(part.pixels[p].size());
    // Reserved whole, so that the pointers into them stay valid.
    for (auto& samples : colour) samples.reserve(total);
    depth[0].reserve(total);
    Imf::DeepFrameBuffer buffer;
    const std::size_t width = static_cast<std::size_t>(part.width);
    buffer.insertSampleCountSlice(Imf::Slice(Imf::UINT, reinterpret_cast<char*>(counts.data()),
                                             sizeof(unsigned int), sizeof(unsigned int) * width));
    for (std::size_t p = 0; p < pixels; ++p) {
        for (int c = 0; c < 4; ++c) pointers[c][p] = colour[c].data() + colour[c].size();
        pointers[4][p] = depth[0].data() + depth[0].size();
        for (const DeepSample& sample : part.pixels[p]) {
            const float values[] = {sample.r, sample.g, sample.b, sample.a};
            for (int c = 0; c < 4; ++c) colour[c].push_back(half(values[c]));
            depth[0].push_back(sample.z);
        }
    }
    const char* names[] = {"R", "G", "B", "A", "Z"};
    for (int c = 0; c < 5; ++c)
        buffer.insert(names[c], Imf::DeepSlice(c < 4 ? Imf::HALF : Imf::FLOAT,
                                               reinterpret_cast<char*>(pointers[c].data()), sizeof(void*),
                                               sizeof(void*) * width, c < 4 ? sizeof(half) : sizeof(float)));
    if (part.tiled) {
        Imf::DeepTiledOutputPart out(file, index);
        out.setFrameBuffer(buffer);
        out.writeTiles(0, out.numXTiles() - 1, 0, out.numYTiles() - 1);
    } else {
        Imf::DeepScanLineOutputPart out(file, index);
        out.setFrameBuffer(buffer);
        out.writePixels(part.height);
    }
}

} // namespace

void WriteTestParts(const fs::path& path, const std::vector<TestPart>& parts,
                    const std::vector<std::string>& multiView)
{
    std::vector<Imf::Header> headers;
    for (const TestPart& part : parts) headers.push_back(FlatHeader(part, headers, multiView));
    Imf::MultiPartOutputFile file(path.c_str(), headers.data(), static_cast<int>(headers.size()));
    for (std::size_t index = 0; index < parts.size(); ++index)
        WriteFlatPart(file, static_cast<int>(index), parts[index], headers[index]);
}

void WriteDeepTestParts(const fs::path& path, const std::vector<DeepTestPart>& deep,
                        const std::vector<TestPart>& flat)
{
    std::vector<Imf::Header> headers;
    for (const DeepTestPart& part : deep) {
        const Imath::Box2i data({0, 0}, {part.width - 1, part.height - 1});
        Imf::Header& header =
            headers.emplace_back(headers.empty() ? data : headers.front().displayWindow(), data);
        if (!part.name.empty()) header.setName(part.name);
        if (!part.view.empty()) header.setView(part.view);
        header.compression() = static_cast<Imf::Compression>(part.compression);
        for (const char* name : {"R", "G", "B", "A"}) header.channels().insert(name, Imf::Channel(Imf::HALF));
        header.channels().insert("Z", Imf::Channel(Imf::FLOAT));
        if (part.tiled) header.setTileDescription(Imf::TileDescription(2, 2));
        header.setType(part.tiled ? Imf::DEEPTILE : Imf::DEEPSCANLINE);
    }
    for (const TestPart& part : flat) headers.push_back(FlatHeader(part, headers, {}));
    Imf::MultiPartOutputFile file(path.c_str(), headers.data(), static_cast<int>(headers.size()));
    for (std::size_t index = 0; index < deep.size(); ++index)
        WriteDeepPart(file, static_cast<int>(index), deep[index]);
    for (std::size_t index = 0; index < flat.size(); ++index) {
        const int at = static_cast<int>(deep.size() + index);
        WriteFlatPart(file, at, flat[index], headers[at]);
    }
}

std::vector<RawPart> ReadRawParts(const fs::path& path)
{
    Imf::MultiPartInputFile file(path.c_str());
    std::vector<RawPart> parts;
    for (int index = 0; index < file.parts(); ++index) {
        const Imf::Header& header = file.header(index);
        RawPart& part = parts.emplace_back();
        part.name = header.hasName() ? header.name() : "";
        part.view = header.hasView() ? header.view() : "";
        part.dataWindow = header.dataWindow();
        for (auto it = header.begin(); it != header.end(); ++it) part.attributes.push_back(it.name());
        const std::size_t width = static_cast<std::size_t>(part.dataWindow.max.x - part.dataWindow.min.x + 1);
        const std::size_t height =
            static_cast<std::size_t>(part.dataWindow.max.y - part.dataWindow.min.y + 1);
        Imf::FrameBuffer buffer;
        std::vector<std::vector<std::uint16_t>> halves;
        for (auto it = header.channels().begin(); it != header.channels().end(); ++it) {
            const Imf::Channel& stored = it.channel();
            RawChannel& channel = part.channels[it.name()];
            channel.type = stored.type;
            const std::size_t columns = width / static_cast<std::size_t>(stored.xSampling);
            const std::size_t count = columns * (height / static_cast<std::size_t>(stored.ySampling));
            if (stored.type == Imf::HALF) {
                std::vector<std::uint16_t>& samples = halves.emplace_back(count);
                buffer.insert(it.name(), Imf::Slice::Make(Imf::HALF, samples.data(), part.dataWindow, 2,
                                                          2 * columns, stored.xSampling, stored.ySampling));
            } else {
                channel.samples.resize(count);
                buffer.insert(it.name(),
                              Imf::Slice::Make(stored.type, channel.samples.data(), part.dataWindow, 4,
                                               4 * columns, stored.xSampling, stored.ySampling));
            }
        }
        Imf::InputPart input(file, index);
        input.setFrameBuffer(buffer);
        input.readPixels(part.dataWindow.min.y, part.dataWindow.max.y);
        std::size_t next = 0;
        for (auto it = header.channels().begin(); it != header.channels().end(); ++it)
            if (it.channel().type == Imf::HALF)
                part.channels[it.name()].samples.assign(halves[next].begin(), halves[next].end()), ++next;
    }
    return parts;
}
