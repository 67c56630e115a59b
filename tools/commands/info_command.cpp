#include "commands/info_command.h"

#include "cli/number_text.h"
#include "cli/tool_error.h"
#include "files/exr_reader.h"
#include "host/frame_stats.h"

namespace {

constexpr std::size_t IDS_SHOWN_IN_DETAIL = 16;
constexpr std::size_t IDS_SHOWN_IN_LINE = 8;

std::string BoxText(const PixelBox& box)
{
    return "(" + std::to_string(box.minX) + ", " + std::to_string(box.minY) + ") - (" +
           std::to_string(box.maxX) + ", " + std::to_string(box.maxY) + ")";
}

std::string RangeText(const DepthStats& stats)
{
    std::string text = stats.takingPart == 0
                           ? "no magnitude below 1e20"
                           : NumberText(stats.minMagnitude) + " to " + NumberText(stats.maxMagnitude);
    if (stats.notANumber > 0) text += ", " + std::to_string(stats.notANumber) + " px NaN";
    return text;
}

std::string IdList(const IdCounts& ids, std::size_t shown)
{
    std::string text;
    std::size_t listed = 0;
    for (const auto& entry : ids.counts) {
        if (listed++ == shown) return text + ",...(" + std::to_string(ids.counts.size()) + ")";
        text += (text.empty() ? "" : ",") + std::to_string(entry.first);
    }
    if (ids.notWhole > 0) text += text.empty() ? "not whole" : ",not whole";
    return text.empty() ? "none" : text;
}

struct FrameFacts {
    bool hasDepth = false;
    DepthStats stats;
    std::size_t transparent = 0;
};

FrameFacts FactsOf(const ExrFrame& frame, const InfoOptions& options)
{
    FrameFacts facts;
    const std::vector<BMM_Color_64> colour = HostColourOf(frame);
    for (const BMM_Color_64& pixel : colour) facts.transparent += pixel.a == 0 ? 1 : 0;
    if (frame.Find(options.names.depth) == nullptr) return facts;
    std::vector<float> depth = HostDepthOf(frame, options.names.depth);
    ApplyBackground(options.background, colour, depth);
    facts.hasDepth = true;
    facts.stats = DepthStatsOf(depth, colour);
    return facts;
}

void PrintField(std::FILE* out, const std::string& label, const std::string& text)
{
    std::fprintf(out, "  %-14s %s\n", (label + ":").c_str(), text.c_str());
}

void PrintDetail(const std::string& path, const ExrFrame& frame, const InfoOptions& options, std::FILE* out)
{
    const FrameFacts facts = FactsOf(frame, options);
    std::fprintf(out, "%s\n", path.c_str());
    PrintField(out, "size",
               std::to_string(frame.Width()) + " x " + std::to_string(frame.Height()) + ", " +
                   (frame.tiled ? "tiled" : "scanline"));
    PrintField(out, "data window", BoxText(frame.dataWindow));
    PrintField(out, "display",
               BoxText(frame.displayWindow) + " (" + std::to_string(frame.displayWindow.Width()) + " x " +
                   std::to_string(frame.displayWindow.Height()) + ")");
    PrintField(out, "channels", ChannelListText(frame));
    if (facts.hasDepth) {
        PrintField(out, "depth " + options.names.depth,
                   RangeText(facts.stats) + " (magnitudes that take part)");
        const std::string rule = options.background.kind == BackgroundRule::Kind::NONE
                                     ? ""
                                     : ", after --background " + options.background.Text();
        PrintField(out, "background",
                   ShareText(facts.stats.background, facts.stats.pixels) + " (magnitude at or above 1e20" +
                       rule + ")");
    } else {
        PrintField(out, "depth", "none: no channel " + options.names.depth);
    }
    PrintField(out, "alpha 0", ShareText(facts.transparent, frame.PixelCount()));
    for (const std::string* name : {&options.names.material, &options.names.object}) {
        const FrameChannel* channel = frame.Find(*name);
        PrintField(out, *name,
                   channel == nullptr ? "none" : IdCountsText(IdCountsOf(*channel), IDS_SHOWN_IN_DETAIL));
    }
    const std::string hint = facts.hasDepth ? BackgroundHint(facts.stats) : "";
    if (!hint.empty()) PrintField(out, "hint", hint);
}

void PrintLine(const std::string& path, const ExrFrame& frame, const InfoOptions& options, std::FILE* out)
{
    const FrameFacts facts = FactsOf(frame, options);
    std::string line = path + "  " + std::to_string(frame.Width()) + "x" + std::to_string(frame.Height());
    if (facts.hasDepth)
        line += "  depth " + RangeText(facts.stats) + "  background " +
                ShareText(facts.stats.background, facts.stats.pixels) + "  alpha 0 " +
                ShareText(facts.transparent, frame.PixelCount());
    else
        line += "  no depth channel " + options.names.depth;
    for (const std::string* name : {&options.names.material, &options.names.object}) {
        const FrameChannel* channel = frame.Find(*name);
        line += "  " + *name + " " +
                (channel == nullptr ? "none" : IdList(IdCountsOf(*channel), IDS_SHOWN_IN_LINE));
    }
    std::fprintf(out, "%s\n", line.c_str());
}

} // namespace

int RunInfo(const InfoOptions& options, std::FILE* out, std::FILE* errors)
{
    int status = EXIT_STATUS_OK;
    for (const std::string& path : options.inputs) {
        ExrReadResult read;
        try {
            read = ReadExrFile(path);
        } catch (const ToolError& error) {
            std::fprintf(errors, "error: %s\n", error.what()); // the reader names the file
            status = EXIT_STATUS_FAILED;
            continue;
        }
        try {
            if (options.inputs.size() == 1)
                PrintDetail(path, read.frame, options, out);
            else
                PrintLine(path, read.frame, options, out);
        } catch (const ToolError& error) {
            std::fprintf(errors, "error: %s: %s\n", path.c_str(), error.what());
            status = EXIT_STATUS_FAILED;
        }
        if (!read.note.empty()) std::fprintf(errors, "note: %s: %s\n", path.c_str(), read.note.c_str());
    }
    return status;
}
