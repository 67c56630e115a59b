#include "pipeline/view_writer.h"

#include "frame/rewritten_pixels.h"
#include "output/output_writer.h"

namespace deepglass {

void PngViewWriter::Write(FilterRunner& filter, MemoryStorage& storage, const ViewFrame& made,
                          const std::string& path, std::vector<std::string>& warnings)
{
    filter.Render(storage);
    WriteFilteredPng(path, made.frame, storage.Pixels(), opaque, format, budget, threads, warnings);
}

void ExrViewWriter::Write(FilterRunner& filter, MemoryStorage& storage, const ViewFrame& made,
                          const std::string& path, std::vector<std::string>& warnings)
{
    const std::vector<bool> rewritten = RenderFindingRewritten(filter, storage, made.frame.PixelCount());
    const FilteredView written{made.view,
                               made.choice.colour,
                               made.choice.lumaChroma,
                               PartOf(made, made.choice.depth),
                               made.frame.dataWindow,
                               storage.Pixels(),
                               &rewritten};
    WriteFilteredExr(path, file, written, --viewsLeft > 0, warnings);
}

} // namespace deepglass
