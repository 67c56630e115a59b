#include "pipeline/view_writer.h"

#include "base/list_text.h"
#include "base/number_text.h"
#include "base/tool_error.h"
#include "depth/filter_range.h"
#include "exr/file_memory.h"
#include "frame/rewritten_pixels.h"
#include "output/output_writer.h"
#include "pipeline/view_load.h"
#include "png/png_writer.h"

namespace deepglass {

namespace {

// The picture of the view's display window, `pixelBytes` a pixel, added to `shape`. The display
// window is the file's own claim, which no sample backs: a picture that alone takes more than the
// budget is refused before anything is loaded.
void AddPicture(FrameShape& shape, const ViewFrame& made, bool opaque, std::uint64_t pixelBytes,
                std::uint64_t budget)
{
    const DisplayRows rows(made.frame, nullptr, opaque);
    HoldToBudget(rows, pixelBytes, budget);
    shape.pictureWidth = static_cast<std::uint64_t>(rows.Width());
    shape.pictureHeight = static_cast<std::uint64_t>(rows.Height());
    shape.pixelBytes = pixelBytes;
}

} // namespace

void PngViewWriter::PictureShape(FrameShape& shape, const ViewFrame& made, std::uint64_t budget) const
{
    AddPicture(shape, made, opaque, (format.kind == PngKind::GREY ? 1u : 4u) * (format.bits == 8 ? 1u : 2u),
               budget);
    shape.level = format.level;
}

std::uint64_t PngViewWriter::Admit(FrameShape shape, const ReadMemory& read, const ViewFrame& made,
                                   std::uint64_t budget)
{
    PictureShape(shape, made, budget);
    // As many encoding threads as the budget holds, one at least.
    for (encoders = std::max(threads, 1); encoders > 1; --encoders) {
        shape.encoders = static_cast<std::uint64_t>(encoders);
        if (budget == 0 || FrameMemory(FrameRoute::PNG, shape) <= budget) break;
    }
    shape.encoders = static_cast<std::uint64_t>(encoders);
    return AdmitFrame(FrameRoute::PNG, shape, read, budget);
}

int PngViewWriter::SegmentRows(const ViewFrame& made) const
{
    return PngSegmentRows(static_cast<int>(made.frame.displayWindow.Width()), format);
}

int PngViewWriter::BandRows(const ViewFrame& made) const
{
    return SegmentRows(made) * PNG_BATCH_SEGMENTS * std::max(threads, 1) + 1;
}

std::uint64_t PngViewWriter::AdmitStrips(FrameShape shape, const ReadMemory& read, const ViewFrame& made,
                                         std::uint64_t budget)
{
    PictureShape(shape, made, budget);
    shape.stripRows = static_cast<std::uint64_t>(StripRowsOf(shape.width));
    shape.rangeRows = static_cast<std::uint64_t>(RangeRows(static_cast<int>(shape.width)));
    // As many threads, each with its filter and encoder, as the budget holds, one at least.
    for (encoders = std::max(threads, 1); encoders > 1; --encoders) {
        shape.encoders = shape.lanes = static_cast<std::uint64_t>(encoders);
        if (budget == 0 || FrameMemory(FrameRoute::STRIPS, shape) <= budget) break;
    }
    shape.encoders = shape.lanes = static_cast<std::uint64_t>(encoders);
    return AdmitFrame(FrameRoute::STRIPS, shape, read, budget);
}

DepthMapping PngViewWriter::Mapped(DepthMapping mapping) const
{
    mapping.bits = format.bits;
    mapping.grey = format.kind == PngKind::GREY ? "grey" : opaque ? "R,G,B" : "R,G,B,A";
    return mapping;
}

void PngViewWriter::Write(FilterRunner& filter, MemoryStorage& storage, const ViewFrame& made,
                          const std::string& path, DepthMapping mapping, std::vector<std::string>& warnings)
{
    filter.Render(storage);
    PngFormat written = format;
    written.text = MappingPngText(Mapped(std::move(mapping)));
    WriteFilteredPng(path, made.frame, storage.Pixels(), opaque, written, encoders, warnings);
}

void PngViewWriter::WriteBands(const FilteredBands& bands, const ViewFrame& made, const std::string& path,
                               DepthMapping mapping, std::vector<std::string>& warnings)
{
    PngFormat written = format;
    written.text = MappingPngText(Mapped(std::move(mapping)));
    WriteFilteredPngInBands(path, made.frame, bands, opaque, written, encoders, warnings);
}

std::uint64_t ExrViewWriter::Admit(FrameShape shape, const ReadMemory& read, const ViewFrame&,
                                   std::uint64_t budget)
{
    AddWholeFile(shape, file, views);
    return AdmitFrame(FrameRoute::EXR, shape, read, budget);
}

void ExrViewWriter::Write(FilterRunner& filter, MemoryStorage& storage, const ViewFrame& made,
                          const std::string& path, DepthMapping mapping, std::vector<std::string>& warnings)
{
    const std::vector<bool> rewritten = RenderFindingRewritten(filter, storage, made.frame.PixelCount());
    const FilteredView written{made.view,
                               made.choice.colour,
                               made.choice.lumaChroma,
                               PartOf(made, made.choice.depth),
                               made.frame.dataWindow,
                               storage.Pixels(),
                               &rewritten};
    const auto& names = made.choice.colour;
    mapping.bits = 16;
    mapping.grey =
        (made.choice.lumaChroma ? names[0] + "," + names[3] : ListText({names.begin(), names.end()}, ",")) +
        " = level / 65535";
    WriteFilteredExr(path, file, written, --viewsLeft > 0, {MAPPING_PREFIX, MappingTexts(mapping)}, warnings);
}

std::uint64_t VideoViewWriter::Admit(FrameShape shape, const ReadMemory& read, const ViewFrame& made,
                                     std::uint64_t budget)
{
    const VideoFormat& format = video.Format();
    AddPicture(shape, made, opaque, (format.rgba ? 4u : 1u) * (format.bits == 8 ? 1u : 2u), budget);
    return AdmitFrame(FrameRoute::VIDEO, shape, read, budget);
}

void VideoViewWriter::Write(FilterRunner& filter, MemoryStorage& storage, const ViewFrame& made,
                            const std::string&, DepthMapping mapping, std::vector<std::string>& warnings)
{
    filter.Render(storage);
    const VideoFormat& format = video.Format();
    mapping.bits = format.bits;
    mapping.grey = format.codec == VideoCodec::H264 ? "Y"
                   : !format.rgba                   ? "grey"
                   : opaque                         ? "R,G,B"
                                                    : "R,G,B,A";
    mapping.frame.reset(); // the container says which frames it holds
    video.Add(place, made.frame, storage.Pixels(), opaque, MappingTexts(mapping), warnings);
}

} // namespace deepglass
