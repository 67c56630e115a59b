#include "pipeline/view_writer.h"

#include "base/list_text.h"
#include "frame/rewritten_pixels.h"
#include "output/output_writer.h"

namespace deepglass {

void PngViewWriter::Write(FilterRunner& filter, MemoryStorage& storage, const ViewFrame& made,
                          const std::string& path, DepthMapping mapping, std::vector<std::string>& warnings)
{
    filter.Render(storage);
    mapping.bits = format.bits;
    mapping.grey = format.kind == PngKind::GREY ? "grey" : opaque ? "R,G,B" : "R,G,B,A";
    PngFormat written = format;
    written.text = MappingPngText(mapping);
    WriteFilteredPng(path, made.frame, storage.Pixels(), opaque, written, budget, threads, warnings);
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
