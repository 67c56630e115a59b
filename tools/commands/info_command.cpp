#include "commands/info_command.h"

#include <cmath>

#include "cli/tool_error.h"
#include "commands/cryptomatte_facts.h"
#include "commands/frame_facts.h"
#include "files/exr_reader.h"
#include "shot/depth_chart.h"
#include "shot/shot_plan.h"

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
               const FrameFacts& single)
{
    if (chart.size() == 1)
        DrawDepthHistogram(options.plotPath, "Depths of " + options.inputs.front(), Magnitudes(single.depth),
                           single.stats.background);
    else
        DrawRangeChart(options.plotPath, "Depth range per frame (each frame's own grey scale)",
                       numbered ? "frame" : "frame (place in the list)", chart);
}

} // namespace

int RunInfo(const InfoOptions& options, std::FILE* out, std::FILE* errors)
{
    int status = EXIT_STATUS_OK;
    const std::vector<ShotFrame> plan = PlanShot(options.inputs, options.frames, OutputTarget{});
    std::vector<ChartFrame> chart;
    FrameFacts single;
    bool numbered = true;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const std::string& path = plan[i].input;
        numbered &= plan[i].number.has_value();
        ChartFrame& point = chart.emplace_back();
        point.x = static_cast<double>(plan[i].number.value_or(0));
        if (plan[i].missing) {
            std::fprintf(errors, "error: frame %d missing: no file %s\n", plan[i].number.value_or(0),
                         path.c_str());
            status = EXIT_STATUS_FAILED;
            continue;
        }
        ExrReadResult read;
        try {
            read = ReadExrFile(path);
        } catch (const ToolError& error) {
            std::fprintf(errors, "error: %s\n", error.what()); // the reader names the file
            status = EXIT_STATUS_FAILED;
            continue;
        }
        try {
            if (plan.size() == 1) {
                std::fprintf(out, "%s\n", path.c_str());
                PrintLayout(read.file, out);
            }
            for (const std::string& view : SelectViews(read.file, options.view)) {
                const ViewFrame made = FrameOfView(read.file, view, options.names);
                FrameFacts facts = FactsOf(made, options);
                if (plan.size() == 1) {
                    PrintDetail("", made, facts, options, out);
                    PrintCryptomattes(read.file, made, path, out);
                } else
                    PrintLine(view.empty() ? path : path + " " + view, made, facts, out);
                if (facts.hasDepth && facts.stats.takingPart > 0 && !point.nearest) {
                    point.nearest = facts.stats.minMagnitude;
                    point.farthest = facts.stats.maxMagnitude;
                }
                if (plan.size() == 1 && single.depth.empty()) single = std::move(facts);
            }
        } catch (const ToolError& error) {
            std::fprintf(errors, "error: %s: %s\n", path.c_str(), error.what());
            status = EXIT_STATUS_FAILED;
        }
        if (!read.note.empty()) std::fprintf(errors, "note: %s: %s\n", path.c_str(), read.note.c_str());
    }
    if (!numbered)
        for (std::size_t i = 0; i < chart.size(); ++i) chart[i].x = static_cast<double>(i + 1);
    if (!options.plotPath.empty()) {
        try {
            DrawChart(options, chart, numbered, single);
            std::fprintf(out, "wrote %s\n", options.plotPath.c_str());
        } catch (const ToolError& error) {
            std::fprintf(errors, "error: %s\n", error.what());
            status = EXIT_STATUS_FAILED;
        }
    }
    return status;
}
