#include "files/output_writer.h"

#include <algorithm>

#include "cli/tool_error.h"
#include "files/atomic_output.h"
#include "files/exr_writer.h"
#include "files/png_writer.h"

namespace {

constexpr int PNG_MAX_SIDE = 65535;
constexpr std::uint16_t LEVEL_FULL = 65535;

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

void WriteFilteredPng(const std::string& path, const ExrFrame& frame, const std::vector<BMM_Color_64>& colour,
                      bool opaque, std::vector<std::string>& warnings)
{
    AtomicOutput(path).Write([&](const std::string& temp) {
        const DisplayPicture picture = DisplayWindowPicture(frame, colour, opaque);
        if (picture.cropped)
            warnings.push_back("part of the data window lies outside the display window and is not in " +
                               path);
        WritePng(temp, picture.width, picture.height, picture.pixels);
    });
}

void WriteFilteredExr(const std::string& path, const ExrFile& file, const FilteredView& filtered,
                      std::vector<std::string>& warnings)
{
    const ExrFile written = WithFilteredColour(file, filtered, warnings);
    AtomicOutput(path).Write([&](const std::string& temp) { WriteExrFile(temp, written, warnings); });
}
