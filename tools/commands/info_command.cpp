#include "commands/info_command.h"

#include <algorithm>
#include <cmath>

#include "base/frame_memory.h"
#include "base/machine.h"
#include "base/number_text.h"
#include "base/tool_error.h"
#include "base/utf8_text.h"
#include "chart/depth_chart.h"
#include "depth/depth_mapping.h"
#include "exr/exr_input.h"
#include "exr/exr_reader.h"
#include "exr/file_memory.h"
#include "facts/cryptomatte_facts.h"
#include "facts/frame_facts.h"
#include "frame/view_frame.h"
#include "png/png_reader.h"
#include "shot/shot_plan.h"
#include "video/video_reader.h"

namespace deepglass {

namespace {

// The magnitudes that take part in the depth range, for the histogram.
std::vector<float> Magnitudes(const std::vector<float>& depth)
{
    std::vector<float> magnitudes;
    for (float value : depth)
        if (std::fabs(value) < DEPTH_LIMIT) magnitudes.push_back(std::fabs(value));
    return magnitudes;
}

void DrawChart(const InfoOptions& options, const std::vector<ChartFrame>& chart, bool numbered,
               const FrameFacts& single, const std::optional<DepthScale>& shot)
{
    if (chart.size() == 1)
        DrawDepthHistogram(options.plotPath, "Depths of " + options.inputs.front(), Magnitudes(single.depth),
                           single.stats.background);
    else {
        std::optional<DepthScale> scale;
        if (options.range.kind == RangeChoice::Kind::SHOT) scale = shot;
        if (options.range.kind == RangeChoice::Kind::FIXED) scale = options.range.scale;
        DrawRangeChart(options.plotPath,
                       scale ? "Depth range per frame, and the one scale --range gives them"
                             : "Depth range per frame (each frame's own grey scale)",
                       numbered ? "frame" : "frame (place in the list)", chart, scale);
    }
}

// What every frame of `info` shares.
struct InfoRun {
    const InfoOptions& options;
    std::FILE* out;
    std::FILE* errors;
    bool single = false; // one frame, described field by field
    FrameBuffers buffers;
    std::uint64_t budget = 0; // every read is held to it, as in a run of apply
    FrameFacts first;         // of the first view of a single frame, for its histogram
    std::vector<std::optional<DepthScale>> frameScales; // of the frames described, for the shot's range
    std::optional<PercentileSweeps> sweeps;             // with --clip, its ends over the shot
};

// A PNG picture: its size, its samples and the depth mapping it holds; false when it cannot be read
// or its mapping is damaged.
bool DescribePicture(const std::string& path, InfoRun& run)
{
    try {
        const PngPicture picture = ReadPictureText(path, run.budget);
        std::fprintf(run.out, "%s: PNG picture, %d x %d, %s, %d bits\n", path.c_str(), picture.width,
                     picture.height, picture.channels == 1 ? "grey" : "RGBA", picture.bits);
        if (!HasMapping(picture.text)) {
            std::fprintf(run.out, "depth mapping: none (no %s text chunks)\n", MAPPING_PREFIX);
            return true;
        }
        std::fprintf(run.out, "depth mapping:\n%s", MappingText(ParseMapping(picture.text)).c_str());
        return true;
    } catch (const ToolError& error) {
        const std::string message = error.what();
        std::fprintf(run.errors, "error: %s\n",
                     (message.rfind(path, 0) == 0 || message.find(" " + path + ":") != std::string::npos
                          ? message
                          : path + ": " + message)
                         .c_str());
        return false;
    }
}

// A video: its codec, pixels, size, frames and rate, and the depth mapping it holds; false when it
// cannot be read or its mapping is damaged.
bool DescribeVideo(const std::string& path, InfoRun& run)
{
    try {
        const VideoFacts facts = ReadVideoFacts(path, run.budget);
        const bool h264 = facts.codec == VideoCodec::H264;
        std::fprintf(run.out, "%s: video, %s, %s, %d x %d, %zu frame%s at %s fps%s\n", path.c_str(),
                     h264 ? "H.264 (lossy)" : "FFV1 (lossless)", facts.pixelFormat.c_str(), facts.width,
                     facts.height, facts.frames, facts.frames == 1 ? "" : "s", facts.rate.Text().c_str(),
                     facts.timeCode.empty() ? "" : (", time code " + facts.timeCode).c_str());
        if (!HasMapping(facts.tags)) {
            std::fprintf(run.out, "depth mapping: none (no %s metadata)\n", MAPPING_PREFIX);
            return true;
        }
        std::string text = MappingText(ParseMapping(facts.tags));
        if (const std::optional<std::vector<int>> numbers = ParseVideoFrames(facts.tags)) {
            if (numbers->size() != facts.frames)
                throw ToolError("it holds " + std::to_string(facts.frames) +
                                " frames, and its metadata lists " + std::to_string(numbers->size()) +
                                ": the file is cut short");
            for (const auto& [key, value] : VideoFrameTexts(*numbers))
                text += "  " + key + " = " + value + "\n";
        }
        std::fprintf(run.out, "depth mapping:\n%s", text.c_str());
        return true;
    } catch (const ToolError& error) {
        const std::string message = error.what();
        std::fprintf(run.errors, "error: %s\n",
                     (message.rfind(path, 0) == 0 ? message : path + ": " + message).c_str());
        return false;
    }
}

// The depth mapping an output of apply carries in a part's header, for each part that has one.
std::vector<std::pair<std::string, DepthMapping>> MappingsOf(const ExrFile& file)
{
    std::vector<std::pair<std::string, DepthMapping>> mappings;
    for (const ExrPart& part : file.parts) {
        if (part.frame.header == nullptr) continue;
        auto texts = HeaderTextsOf(*part.frame.header, MAPPING_PREFIX);
        for (auto& [key, value] : texts) value = NameText(value);
        if (HasMapping(texts)) mappings.emplace_back(part.name, ParseMapping(texts));
    }
    return mappings;
}

void PrintMappings(const ExrFile& file, std::FILE* out)
{
    for (const auto& [part, mapping] : MappingsOf(file))
        std::fprintf(out, "depth mapping%s:\n%s", part.empty() ? "" : (" of part " + part).c_str(),
                     MappingText(mapping).c_str());
}

// The file read whole, once what describing it takes is known to fit in the budget: every part
// held, and the frame of each view, at most the largest part's, counted.
ExrReadResult ReadForInfo(const std::string& path, std::uint64_t budget)
{
    ExrReadLimits limits;
    limits.maxSampleBytes = budget;
    ExrInput input(path, limits);
    FrameShape shape;
    for (const ExrPart& part : input.Layout().parts)
        if (part.frame.PixelCount() > shape.width * shape.height) {
            shape.width = static_cast<std::uint64_t>(part.frame.Width());
            shape.height = static_cast<std::uint64_t>(part.frame.Height());
        }
    shape.readBytes = StripBytes(shape.width, 1, 1);
    AddWholeFile(shape, input.Layout(), 1);
    const std::string problem = FrameMemoryProblem(FrameRoute::INFO, shape, budget);
    if (!problem.empty()) throw ToolError(path + ": " + problem);
    return {input.ReadWhole(), input.Note()};
}

// One frame of the list described and its chart point filled; false when it failed.
bool DescribeFrame(const ShotFrame& shot, InfoRun& run, ChartFrame& point)
{
    const std::string& path = shot.input;
    if (shot.missing) {
        std::fprintf(run.errors, "error: frame %d missing: no file %s\n", shot.number.value_or(0),
                     path.c_str());
        return false;
    }
    if (IsPngFile(path)) return DescribePicture(path, run);
    if (IsVideoName(path)) return DescribeVideo(path, run);
    ExrReadResult read;
    try {
        read = ReadForInfo(path, run.budget);
    } catch (const ToolError& error) {
        std::fprintf(run.errors, "error: %s\n", error.what()); // the reader names the file
        return false;
    }
    bool described = true;
    std::optional<DepthScale> frameScale; // over the frame's views, as apply --range shot takes it
    try {
        if (run.single) {
            std::fprintf(run.out, "%s\n", path.c_str());
            PrintLayout(read.file, run.out);
            PrintMappings(read.file, run.out);
        }
        for (const std::string& view : SelectViews(read.file, run.options.view)) {
            const ViewFrame made = ViewLayoutOf(read.file, view, run.options.names);
            FrameFacts facts = FactsOf(read.file, made, run.options, run.buffers);
            if (run.single) {
                PrintDetail("", made, facts, run.options, run.out);
                PrintCryptomattes(read.file, made, path, run.out);
            } else {
                PrintLine(view.empty() ? path : path + " " + NameText(view), made, facts, run.options,
                          run.out);
            }
            const std::optional<DepthScale> scale =
                facts.hasDepth ? OwnScaleOf(facts.stats) : std::optional<DepthScale>();
            if (scale) frameScale = frameScale ? Widened(*frameScale, *scale) : *scale;
            if (run.sweeps) run.sweeps->Count(facts.depth);
            // The chart draws the ends of the frame's grey scale.
            const std::optional<DepthScale> ends = run.options.range.clip ? facts.clipped : scale;
            if (ends && !point.nearest) {
                point.nearest = ends->nearest;
                point.farthest = ends->farthest;
            }
            if (run.single && run.first.depth.empty()) run.first = std::move(facts);
        }
    } catch (const ToolError& error) {
        std::fprintf(run.errors, "error: %s: %s\n", path.c_str(), error.what());
        described = false;
    }
    if (!read.note.empty()) std::fprintf(run.errors, "note: %s: %s\n", path.c_str(), read.note.c_str());
    if (described) run.frameScales.push_back(frameScale);
    return described;
}

// The frames counted again, for the next sweep of --clip over the shot; a frame that fails here
// has been reported already.
void CountAgain(const std::vector<ShotFrame>& plan, InfoRun& run)
{
    for (const ShotFrame& shot : plan) {
        if (shot.missing) continue;
        try {
            const ExrReadResult read = ReadForInfo(shot.input, run.budget);
            for (const std::string& view : SelectViews(read.file, run.options.view))
                run.sweeps->Count(FactsOf(read.file, ViewLayoutOf(read.file, view, run.options.names),
                                          run.options, run.buffers)
                                      .depth);
        } catch (const ToolError&) {
        }
    }
}

// The shot's line, its range as apply --range takes it back, or why there is none to take.
std::string ShotRangeLine(const InfoOptions& options, const ShotRange& shot)
{
    if (!shot.Ends()) return "shot range: none (no depth takes part in any frame)";
    if (!CurveTakes(options.range.curve, *shot.Ends()))
        return "shot range: none for --curve inverse (the nearest depth magnitude taking part is 0)";
    return "shot range: " + NumberText(shot.Ends()->nearest) + ":" + NumberText(shot.Ends()->farthest);
}

} // namespace

PngPicture ReadPictureText(const std::string& path, std::uint64_t budget)
{
    PngReader reader(path);
    const std::string problem = FrameMemoryProblem(FrameRoute::PICTURE_INFO, reader.Shape(), budget);
    if (!problem.empty()) throw ToolError(path + ": " + problem);
    return reader.ReadText();
}

FileFacts FactsOfFile(const std::string& path, const InfoOptions& options)
{
    FileFacts facts{ReadForInfo(path, MemoryBudget(options.maxMemory)), {}, {}};
    facts.mappings = MappingsOf(facts.read.file);
    FrameBuffers buffers;
    for (const std::string& view : SelectViews(facts.read.file, options.view)) {
        ViewFrame made = ViewLayoutOf(facts.read.file, view, options.names);
        FrameFacts counted = FactsOf(facts.read.file, made, options, buffers);
        facts.views.push_back({std::move(made), std::move(counted)});
    }
    return facts;
}

int RunInfo(const InfoOptions& options, std::FILE* out, std::FILE* errors)
{
    const std::vector<ShotFrame> plan = PlanShot(options.inputs, options.frames, OutputTarget{});
    const bool numbered =
        std::all_of(plan.begin(), plan.end(), [](const ShotFrame& shot) { return shot.number.has_value(); });
    InfoRun run{options, out, errors, plan.size() == 1, {}, MemoryBudget(options.maxMemory), {}, {}, {}};
    if (options.range.clip && plan.size() > 1) run.sweeps.emplace(*options.range.clip);
    std::vector<ChartFrame> chart(plan.size());
    int status = EXIT_STATUS_OK;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        chart[i].x = numbered ? static_cast<double>(*plan[i].number) : static_cast<double>(i + 1);
        if (!DescribeFrame(plan[i], run, chart[i])) status = EXIT_STATUS_FAILED;
    }
    // The scale of the whole shot, for apply --range in each task of a farm.
    ShotRange shot = ShotRangeOf(run.frameScales);
    if (run.sweeps) {
        while (run.sweeps->EndSweep()) CountAgain(plan, run);
        shot.clipped = run.sweeps->Ends();
        if (shot.scale)
            std::fprintf(out, "shot nearest to farthest: %s:%s\n", NumberText(shot.scale->nearest).c_str(),
                         NumberText(shot.scale->farthest).c_str());
    }
    if (plan.size() > 1) std::fprintf(out, "%s\n", ShotRangeLine(options, shot).c_str());
    std::fprintf(out, "kept colour (apply --mode material or object, PNG): %s\n",
                 !options.colourProblem.empty() ? ("none apply would take: " + options.colourProblem).c_str()
                 : options.display              ? options.display->Text().c_str()
                                                : "as stored, scene-linear");
    if (!options.plotPath.empty()) {
        try {
            DrawChart(options, chart, numbered, run.first, shot.Ends());
            std::fprintf(out, "wrote %s\n", options.plotPath.c_str());
        } catch (const ToolError& error) {
            std::fprintf(errors, "error: %s\n", error.what());
            status = EXIT_STATUS_FAILED;
        }
    }
    return status;
}

} // namespace deepglass
