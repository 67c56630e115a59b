#include "files/exr_probe.h"

#include <ImfChannelList.h>
#include <ImfHeader.h>
#include <ImfMultiPartInputFile.h>

#include <exception>

#include "base/tool_error.h"

namespace {

std::uint64_t PixelsOf(const Imath::Box2i& box)
{
    if (box.max.x < box.min.x || box.max.y < box.min.y) return 0;
    return (static_cast<std::uint64_t>(box.max.x - box.min.x) + 1) *
           (static_cast<std::uint64_t>(box.max.y - box.min.y) + 1);
}

} // namespace

ExrSizeFacts ProbeExrSize(const std::string& path)
{
    try {
        Imf::MultiPartInputFile file(path.c_str());
        const Imf::Header& header = file.header(0);
        ExrSizeFacts facts;
        facts.dataPixels = PixelsOf(header.dataWindow());
        for (auto it = header.channels().begin(); it != header.channels().end(); ++it) ++facts.channels;
        return facts;
    } catch (const std::exception& error) {
        throw ToolError(path + ": cannot read its header (" + error.what() + ")");
    }
}
