#include "files/output_writer.h"

#include <algorithm>
#include <bit>

#include "cli/tool_error.h"
#include "files/atomic_output.h"
#include "files/exr_writer.h"
#include "files/png_writer.h"

namespace {

constexpr int PNG_MAX_SIDE = 65535;
constexpr std::uint16_t LEVEL_FULL = 65535;

// The frame with its colour channels replaced by the filter's, as half floats.
ExrFrame WithColour(const ExrFrame& frame, const std::vector<BMM_Color_64>& colour)
{
    ExrFrame written = frame;
    std::erase_if(written.channels, [](const FrameChannel& channel) {
        return channel.name == "R" || channel.name == "G" || channel.name == "B" || channel.name == "A";
    });
    for (int component = 0; component < 4; ++component) {
        FrameChannel channel{std::string(1, "RGBA"[component]), SampleType::HALF, {}};
        channel.samples.resize(colour.size());
        for (std::size_t i = 0; i < colour.size(); ++i) {
            const std::uint16_t levels[] = {colour[i].r, colour[i].g, colour[i].b, colour[i].a};
            channel.samples[i] =
                std::bit_cast<std::uint32_t>(static_cast<float>(levels[component]) / 65535.0f);
        }
        written.channels.push_back(std::move(channel));
    }
    return written;
}

} // namespace

DisplayPicture DisplayWindowPicture(const ExrFrame& frame, const std::vector<BMM_Color_64>& colour,
                                    bool opaque)
{
    const PixelBox& display = frame.displayWindow;
    const PixelBox& data = frame.dataWindow;
    if (display.Width() > PNG_MAX_SIDE || display.Height() > PNG_MAX_SIDE)
        throw ToolError("the display window is " + std::to_string(display.Width()) + " x " +
                        std::to_string(display.Height()) +
                        " pixels; a PNG holds the display window, at most 65535 on a side (write .exr)");
    DisplayPicture picture;
    picture.width = static_cast<int>(display.Width());
    picture.height = static_cast<int>(display.Height());
    const std::size_t width = static_cast<std::size_t>(picture.width);
    picture.pixels.assign(width * static_cast<std::size_t>(picture.height),
                          BMM_Color_64{0, 0, 0, static_cast<std::uint16_t>(opaque ? LEVEL_FULL : 0)});
    picture.cropped = data.minX < display.minX || data.minY < display.minY || data.maxX > display.maxX ||
                      data.maxY > display.maxY;
    const int fromX = std::max(data.minX, display.minX);
    const int toX = std::min(data.maxX, display.maxX);
    for (int y = std::max(data.minY, display.minY); y <= std::min(data.maxY, display.maxY); ++y) {
        for (int x = fromX; x <= toX; ++x) {
            BMM_Color_64 pixel =
                colour[static_cast<std::size_t>(y - data.minY) * frame.Width() + (x - data.minX)];
            if (opaque) pixel.a = LEVEL_FULL;
            picture.pixels[static_cast<std::size_t>(y - display.minY) * width + (x - display.minX)] = pixel;
        }
    }
    return picture;
}

void WriteFilteredFrame(const std::string& path, OutputFormat format, const ExrFrame& frame,
                        const std::vector<BMM_Color_64>& colour, bool opaque,
                        std::vector<std::string>& warnings)
{
    AtomicOutput(path).Write([&](const std::string& temp) {
        if (format == OutputFormat::EXR) {
            WriteExr(temp, WithColour(frame, colour));
            return;
        }
        const DisplayPicture picture = DisplayWindowPicture(frame, colour, opaque);
        if (picture.cropped)
            warnings.push_back("part of the data window lies outside the display window and is not in " +
                               path);
        WritePng(temp, picture.width, picture.height, picture.pixels);
    });
}
