#include "facts/frame_facts.h"

#include <algorithm>

#include "base/list_text.h"
#include "base/number_text.h"
#include "base/utf8_text.h"
#include "exr/sample_source.h"

namespace deepglass {

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

// The ends --clip gives.
std::string ClippedText(const FrameFacts& facts)
{
    return facts.clipped ? NumberText(facts.clipped->nearest) + " to " + NumberText(facts.clipped->farthest)
                         : "none";
}

std::string DeepText(const DeepCounts& deep)
{
    return std::to_string(deep.total) + " in all, at most " + std::to_string(deep.most) + " a pixel, " +
           std::to_string(deep.empty) + " px without any";
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

std::string IdsText(const std::optional<IdCounts>& ids, std::size_t shown)
{
    return ids ? IdCountsText(*ids, shown) : "none";
}

void PrintField(std::FILE* out, const std::string& label, const std::string& text)
{
    std::fprintf(out, "  %-14s %s\n", (label + ":").c_str(), text.c_str());
}

} // namespace

FrameFacts FactsOf(const ExrFile& file, const ViewFrame& made, const InfoOptions& options,
                   FrameBuffers& buffers)
{
    FrameFacts facts;
    const ChannelChoice& choice = made.choice;
    const ExrFrame ids = GatherFrame(file, made.channels, {choice.material, choice.object}, choice.depth);
    if (const FrameChannel* channel = ids.Find(choice.material)) facts.materialIds = IdCountsOf(*channel);
    if (const FrameChannel* channel = ids.Find(choice.object)) facts.objectIds = IdCountsOf(*channel);
    facts.problem = SamplingProblem(made, options.background, 0);
    if (!facts.problem.empty()) return facts;
    // What info counts needs alpha and depth alone.
    ViewFrame read = made;
    read.choice.hasColour = {false, false, false, made.choice.hasColour[3]};
    HeldSamples held(file);
    const LoadedFrame loaded = LoadStorageFrame(held, read, options.background, 0, buffers);
    MemoryStorage& storage = loaded.storage;
    facts.taken = loaded.taken;
    const std::size_t count = storage.PixelCount();
    const BMM_Color_64* colour = storage.Pixels();
    for (std::size_t i = 0; i < count; ++i) facts.transparent += colour[i].a == 0 ? 1 : 0;
    std::vector<bool> counted(file.parts.size(), false);
    for (const ViewChannel& channel : made.channels) {
        const ExrPart& part = file.parts[channel.part];
        if (!part.deep || counted[channel.part]) continue;
        counted[channel.part] = true;
        DeepCounts& deep = facts.deep ? *facts.deep : facts.deep.emplace();
        deep.total += part.deepCounts.total;
        deep.most = std::max(deep.most, part.deepCounts.most);
        deep.empty += part.deepCounts.empty;
    }
    if (!choice.hasDepth) return facts;
    facts.hasDepth = true;
    facts.depth.assign(storage.Depth(), storage.Depth() + count);
    facts.stats = DepthStatsOf(facts.depth, {colour, count});
    if (options.range.clip) facts.clipped = ClippedScaleOf(facts.depth, *options.range.clip);
    return facts;
}

void PrintLayout(const ExrFile& file, std::FILE* out)
{
    const std::vector<std::string> views = file.Views();
    if (!views.empty()) {
        std::vector<std::string> named;
        for (const std::string& view : views)
            named.push_back(NameText(view) + (view == file.DefaultView() ? " (default)" : ""));
        PrintField(out, "views", ListText(named));
    }
    if (file.parts.size() < 2) return;
    PrintField(out, "parts", std::to_string(file.parts.size()));
    for (std::size_t index = 0; index < file.parts.size(); ++index) {
        const ExrPart& part = file.parts[index];
        std::vector<ViewChannel> channels;
        for (const ViewChannel& channel : file.channels)
            if (channel.part == static_cast<int>(index))
                channels.push_back(
                    {channel.storedName, "", 0, "", channel.type, channel.xSampling, channel.ySampling});
        std::fprintf(
            out, "    %zu %s%s, %s: %s\n", index, NameText(part.name).c_str(),
            part.view.empty() ? "" : (" (view " + NameText(part.view) + ")").c_str(),
            (std::string(part.deep ? "deep " : "") + (part.frame.tiled ? "tiled" : "scanline")).c_str(),
            ViewChannelListText(channels).c_str());
    }
}

void PrintDetail(const std::string& path, const ViewFrame& made, const FrameFacts& facts,
                 const InfoOptions& options, std::FILE* out)
{
    const ExrFrame& frame = made.frame;
    if (!path.empty()) std::fprintf(out, "%s\n", path.c_str());
    if (!made.view.empty()) PrintField(out, "view", NameText(made.view));
    PrintField(out, "size",
               std::to_string(frame.Width()) + " x " + std::to_string(frame.Height()) + ", " +
                   (frame.tiled ? "tiled" : "scanline"));
    PrintField(out, "data window", BoxText(frame.dataWindow));
    PrintField(out, "display",
               BoxText(frame.displayWindow) + " (" + std::to_string(frame.displayWindow.Width()) + " x " +
                   std::to_string(frame.displayWindow.Height()) + ")");
    PrintField(out, "channels", ViewChannelListText(made.channels));
    if (facts.deep) PrintField(out, "deep samples", DeepText(*facts.deep) + " (read flattened)");
    PrintField(out, "taken", made.choice.Text());
    const ChannelChoice& choice = made.choice;
    if (!facts.problem.empty()) {
        PrintField(out, "filter", "cannot take this view: " + facts.problem);
    } else if (facts.hasDepth) {
        PrintField(out, "depth " + NameText(choice.depth),
                   RangeText(facts.stats) + " (magnitudes that take part)");
        if (options.range.clip)
            PrintField(out, "clip " + options.range.clip->Text(),
                       ClippedText(facts) + " (the ends of apply --clip's scale)");
        const std::string rule = options.background.kind == BackgroundRule::Kind::NONE
                                     ? ""
                                     : ", after --background " + options.background.Text();
        PrintField(out, "background",
                   ShareText(facts.stats.background, facts.stats.pixels) + " (magnitude at or above 1e20" +
                       rule + ")");
        if (options.background.kind == BackgroundRule::Kind::AUTO)
            PrintField(out, "rule auto",
                       ShareText(facts.taken, facts.stats.pixels) + " taken as nothing rendered (" +
                           AUTO_BACKGROUND_TEXT + ")");
    } else {
        PrintField(out, "depth", "none: no channel " + NameText(choice.depth));
    }
    if (facts.problem.empty()) PrintField(out, "alpha 0", ShareText(facts.transparent, frame.PixelCount()));
    PrintField(out, NameText(choice.material), IdsText(facts.materialIds, IDS_SHOWN_IN_DETAIL));
    PrintField(out, NameText(choice.object), IdsText(facts.objectIds, IDS_SHOWN_IN_DETAIL));
    const std::string hint = facts.hasDepth ? BackgroundHint(facts.stats) : "";
    if (!hint.empty()) PrintField(out, "hint", hint);
}

void PrintLine(const std::string& label, const ViewFrame& made, const FrameFacts& facts,
               const InfoOptions& options, std::FILE* out)
{
    const ExrFrame& frame = made.frame;
    std::string line = label + "  " + std::to_string(frame.Width()) + "x" + std::to_string(frame.Height());
    if (!facts.problem.empty())
        line += "  cannot filter: " + facts.problem;
    else if (facts.hasDepth)
        line +=
            "  depth " + RangeText(facts.stats) +
            (options.range.clip ? "  clip " + options.range.clip->Text() + " " + ClippedText(facts) : "") +
            "  background " + ShareText(facts.stats.background, facts.stats.pixels) + "  alpha 0 " +
            ShareText(facts.transparent, frame.PixelCount());
    else
        line += "  no depth channel " + NameText(made.choice.depth);
    if (facts.deep) line += "  deep samples " + std::to_string(facts.deep->total);
    line += "  " + NameText(made.choice.material) + " " +
            (facts.materialIds ? IdList(*facts.materialIds, IDS_SHOWN_IN_LINE) : "none");
    line += "  " + NameText(made.choice.object) + " " +
            (facts.objectIds ? IdList(*facts.objectIds, IDS_SHOWN_IN_LINE) : "none");
    std::fprintf(out, "%s\n", line.c_str());
}

} // namespace deepglass
