#include "output/output_writer.h"

#include <algorithm>
#include <optional>

#include "base/frame_memory.h"
#include "base/number_text.h"
#include "base/tool_error.h"
#include "image/level.h"
#include "output/atomic_output.h"
#include "output/exr_writer.h"
#include "png/png_writer.h"

namespace deepglass {

namespace {

constexpr int PNG_MAX_SIDE = 65535;

} // namespace

DisplayRows::DisplayRows(const ExrFrame& frame, const BMM_Color_64* colour, bool opaque)
    : DisplayRows(
          frame,
          [colour, width = static_cast<std::size_t>(frame.dataWindow.Width())](int row) {
              return colour + static_cast<std::size_t>(row) * width;
          },
          opaque)
{
}

DisplayRows::DisplayRows(const ExrFrame& frame, DataRow colour, bool opaque)
    : data(frame.dataWindow), display(frame.displayWindow), colour(std::move(colour)), opaque(opaque)
{
    if (display.Width() > PNG_MAX_SIDE || display.Height() > PNG_MAX_SIDE)
        throw ToolError("the display window is " + std::to_string(display.Width()) + " x " +
                        std::to_string(display.Height()) +
                        " pixels; a PNG holds the display window, at most " + std::to_string(PNG_MAX_SIDE) +
                        " on a side (write .exr)");
}

bool DisplayRows::Cropped() const
{
    return data.minX < display.minX || data.minY < display.minY || data.maxX > display.maxX ||
           data.maxY > display.maxY;
}

const BMM_Color_64* DisplayRows::Row(int y, std::vector<BMM_Color_64>& buffer) const
{
    const int frameY = display.minY + y;
    const BMM_Color_64* source =
        frameY >= data.minY && frameY <= data.maxY ? colour(frameY - data.minY) : nullptr;
    if (source != nullptr && !opaque && data.minX == display.minX && data.maxX == display.maxX) return source;
    buffer.assign(static_cast<std::size_t>(Width()),
                  BMM_Color_64{0, 0, 0, static_cast<std::uint16_t>(opaque ? LEVEL_FULL : 0)});
    if (source == nullptr) return buffer.data();
    for (int x = std::max(data.minX, display.minX); x <= std::min(data.maxX, display.maxX); ++x) {
        BMM_Color_64 pixel = source[x - data.minX];
        if (opaque) pixel.a = LEVEL_FULL;
        buffer[static_cast<std::size_t>(x - display.minX)] = pixel;
    }
    return buffer.data();
}

void HoldToBudget(const DisplayRows& rows, std::uint64_t pixelBytes, std::uint64_t budget)
{
    // The display window is the file's own claim, which no sample backs: a picture its reader
    // could not hold within the budget is refused before anything is written.
    const std::uint64_t bytes =
        static_cast<std::uint64_t>(rows.Width()) * static_cast<std::uint64_t>(rows.Height()) * pixelBytes;
    if (budget != 0 && bytes > budget)
        throw ToolError(
            "the display window is " + std::to_string(rows.Width()) + " x " + std::to_string(rows.Height()) +
            " pixels, a picture of " + MemoryText(bytes) + ", more than the " + MemoryText(budget) +
            " one frame may take (--max-memory sets the budget; .exr holds the data window alone)");
}

void WriteFilteredPng(const std::string& path, const ExrFrame& frame, const BMM_Color_64* colour, bool opaque,
                      const PngFormat& format, int threads, std::vector<std::string>& warnings)
{
    const DisplayRows rows(frame, colour, opaque);
    if (rows.Cropped())
        warnings.push_back("part of the data window lies outside the display window and is not in " + path);
    AtomicOutput(path).Write([&](const std::string& temp) {
        WritePng(
            temp, rows.Width(), rows.Height(),
            [&](int y, std::vector<BMM_Color_64>& buffer) { return rows.Row(y, buffer); }, format, threads);
    });
}

std::pair<int, int> DisplayRows::DataRows(int first, int last) const
{
    const int top = std::max(first + display.minY, data.minY) - data.minY;
    const int bottom = std::min(last + display.minY, data.maxY + 1) - data.minY;
    return top < bottom ? std::pair{top, bottom} : std::pair{0, 0};
}

void WriteFilteredPngInBands(const std::string& path, const ExrFrame& frame, const FilteredBands& bands,
                             bool opaque, const PngFormat& format, int threads,
                             std::vector<std::string>& warnings)
{
    const DisplayRows rows(frame, bands.row, opaque);
    if (rows.Cropped())
        warnings.push_back("part of the data window lies outside the display window and is not in " + path);
    AtomicOutput(path).Write([&](const std::string& temp) {
        PngStream stream(temp, rows.Width(), rows.Height(), format, threads);
        const int step = stream.SegmentRows() * PNG_BATCH_SEGMENTS * std::max(threads, 1);
        for (int first = 0; first < rows.Height(); first += step) {
            const int last = std::min(rows.Height(), first + step);
            // Each segment is filtered against the row above it.
            const auto [top, bottom] = rows.DataRows(std::max(first - 1, 0), last);
            if (top < bottom) bands.ready(top, bottom);
            stream.Rows(last, [&](int y, std::vector<BMM_Color_64>& buffer) { return rows.Row(y, buffer); });
        }
        stream.Close();
    });
}

void WriteFilteredExr(const std::string& path, ExrFile& file, const FilteredView& filtered, bool keep,
                      const PartTexts& said, std::vector<std::string>& warnings)
{
    std::optional<ExrFile> copy;
    if (keep) copy = file;
    ExrFile& written = keep ? *copy : file;
    StoreFilteredColour(written, filtered, warnings);
    int part = filtered.windowPart;
    for (const ViewChannel& channel : written.ChannelsOfView(filtered.view))
        if (channel.name == filtered.names[0]) part = channel.part;
    ExrFrame& frame = written.parts[static_cast<std::size_t>(part)].frame;
    frame.header = WithHeaderTexts(frame.header.get(), said.prefix, said.texts);
    AtomicOutput(path).Write([&](const std::string& temp) { WriteExrFile(temp, written, warnings); });
}

} // namespace deepglass
