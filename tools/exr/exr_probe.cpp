#include "exr/exr_probe.h"

#include <ImfChannelList.h>
#include <ImfHeader.h>
#include <ImfMultiPartInputFile.h>
#include <ImfPartType.h>
#include <ImfStdIO.h>

namespace deepglass {

namespace {

std::uint64_t PixelsOf(const Imath::Box2i& box)
{
    if (box.max.x < box.min.x || box.max.y < box.min.y) return 0;
    return (static_cast<std::uint64_t>(box.max.x - box.min.x) + 1) *
           (static_cast<std::uint64_t>(box.max.y - box.min.y) + 1);
}

} // namespace

ExrSizeFacts ProbeExrSize(const std::string& path, const ExrReadLimits& limits)
{
    const std::unique_ptr<std::ifstream> file = OpenInputFile(path);
    const std::uint64_t size = InputFileSize(path);
    ExrSizeFacts facts;
    GuardExrRead(path, [&] {
        Imf::StdIFStream stream(*file, path.c_str());
        const std::unique_ptr<Imf::MultiPartInputFile> exr = OpenExrStream(stream, size, limits);
        const Imf::Header& header = exr->header(0);
        facts.dataPixels = PixelsOf(header.dataWindow());
        for (auto it = header.channels().begin(); it != header.channels().end(); ++it) ++facts.channels;
        for (int part = 0; part < exr->parts(); ++part) {
            const Imf::Header& each = exr->header(part);
            if (each.type() == Imf::DEEPSCANLINE || each.type() == Imf::DEEPTILE) continue;
            const Imath::Box2i window = each.dataWindow();
            for (auto it = each.channels().begin(); it != each.channels().end(); ++it)
                facts.sampleBytes += PixelsOf(window) / static_cast<std::uint64_t>(it.channel().xSampling) /
                                     static_cast<std::uint64_t>(it.channel().ySampling) * HELD_SAMPLE_BYTES;
        }
    });
    return facts;
}

} // namespace deepglass
