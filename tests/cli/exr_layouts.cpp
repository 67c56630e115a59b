#include "exr_layouts.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputPart.h>
#include <ImfMultiPartInputFile.h>
#include <ImfMultiPartOutputFile.h>
#include <ImfOutputPart.h>
#include <ImfPartType.h>
#include <ImfStandardAttributes.h>
#include <ImfStringAttribute.h>
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

bool Subsampled(const std::string& name) { return name.size() > 4 && name.ends_with("_sub"); }

} // namespace

void WriteTestParts(const fs::path& path, const std::vector<TestPart>& parts,
                    const std::vector<std::string>& multiView)
{
    std::vector<Imf::Header> headers;
    for (const TestPart& part : parts) {
        const TestFrame& frame = part.frame;
        const Imath::Box2i data({frame.minX, frame.minY},
                                {frame.minX + frame.width - 1, frame.minY + frame.height - 1});
        // The parts of a file share one display window: the first part's data window.
        Imf::Header& header =
            headers.emplace_back(headers.empty() ? data : headers.front().displayWindow(), data);
        if (!part.name.empty()) header.setName(part.name);
        if (!part.view.empty()) header.setView(part.view);
        if (!multiView.empty()) Imf::addMultiView(header, multiView);
        header.insert("comments", Imf::StringAttribute("kept"));
        for (const auto& [name, value] : part.attributes) header.insert(name, Imf::StringAttribute(value));
        header.setType(Imf::SCANLINEIMAGE);
        for (const TestChannel& channel : frame.channels) {
            const int sampling = Subsampled(channel.name) ? part.sampling : 1;
            header.channels().insert(channel.name, Imf::Channel(channel.type, sampling, sampling));
        }
    }
    Imf::MultiPartOutputFile file(path.c_str(), headers.data(), static_cast<int>(headers.size()));
    for (std::size_t index = 0; index < parts.size(); ++index) {
        const TestFrame& frame = parts[index].frame;
        std::vector<std::vector<std::uint32_t>> words;
        std::vector<std::vector<std::uint16_t>> halves;
        Imf::FrameBuffer buffer;
        for (const TestChannel& channel : frame.channels) {
            const int sampling = Subsampled(channel.name) ? parts[index].sampling : 1;
            const std::size_t width = static_cast<std::size_t>(frame.width / sampling);
            const Imath::Box2i window = headers[index].dataWindow();
            if (channel.type == Imf::HALF) {
                std::vector<std::uint16_t>& samples = halves.emplace_back();
                for (double value : channel.values)
                    samples.push_back(static_cast<std::uint16_t>(Stored(value, Imf::HALF)));
                buffer.insert(channel.name, Imf::Slice::Make(Imf::HALF, samples.data(), window, 2, 2 * width,
                                                             sampling, sampling));
            } else {
                std::vector<std::uint32_t>& samples = words.emplace_back();
                for (double value : channel.values) samples.push_back(Stored(value, channel.type));
                buffer.insert(channel.name, Imf::Slice::Make(channel.type, samples.data(), window, 4,
                                                             4 * width, sampling, sampling));
            }
        }
        Imf::OutputPart part(file, static_cast<int>(index));
        part.setFrameBuffer(buffer);
        part.writePixels(frame.height);
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
