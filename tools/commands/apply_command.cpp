#include "commands/apply_command.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>

#include "base/machine.h"
#include "base/number_text.h"
#include "base/tool_error.h"
#include "commands/apply_frame.h"
#include "commands/filter_input.h"
#include "commands/progress.h"
#include "files/atomic_output.h"
#include "files/exr_layout.h"
#include "files/output_writer.h"
#include "frame/frame_stats.h"
#include "module/filter_runner.h"
#include "shot/frame_pattern.h"
#include "shot/job_count.h"
#include "shot/shot_plan.h"
#include "shot/shot_report.h"
#include "shot/worker_pool.h"

namespace {

using Clock = std::chrono::steady_clock;

// Configures the filter, saving its record when asked.
void PrepareFilter(FilterRunner& runner, const ApplyOptions& options, std::FILE* out, std::FILE* errors)
{
    for (const std::string& warning : ConfigureFilter(runner, options.filter))
        std::fprintf(errors, "warning: %s\n", warning.c_str());
    if (!options.filter.saveConfigPath.empty()) {
        SaveFilterRecord(runner, options.filter.saveConfigPath, InputFiles(options.inputs));
        std::fprintf(out, "wrote %s\n", options.filter.saveConfigPath.c_str());
    }
}

void MakeFolder(const std::filesystem::path& folder)
{
    if (folder.empty()) return;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw ToolError("cannot make the folder " + folder.string() + ": " + error.message());
}

void MakeOutputFolder(const OutputTarget& target)
{
    if (target.isFolder)
        MakeFolder(target.path);
    else if (HasFramePattern(target.path))
        MakeFolder(std::filesystem::path(target.path).parent_path());
}

// -j as given, or one a core within the memory budget; never more than the frames to filter.
int JobCount(const ApplyOptions& options, const std::vector<ShotFrame>& plan, std::uint64_t budget)
{
    std::size_t pending = 0;
    const ShotFrame* first = nullptr;
    for (const ShotFrame& shot : plan)
        if (shot.problem.empty()) {
            ++pending;
            if (first == nullptr) first = &shot;
        }
    if (options.jobs > 0)
        return static_cast<int>(std::min<std::size_t>(options.jobs, std::max<std::size_t>(pending, 1)));
    std::uint64_t frameBytes = 0;
    try {
        if (first != nullptr) frameBytes = FrameMemoryEstimate(first->input, options.output.format, budget);
    } catch (const ToolError&) {
        // The frame's own read reports what is wrong with it; the cores alone decide.
    }
    return DefaultJobCount(pending, frameBytes);
}

// The one scale of the shot: every frame's own, widened over the shot, read in parallel by the
// same workers. A frame that cannot be read is left out here and reported by its own filtering.
std::optional<DepthScale> ShotScale(const ApplyRun& run, const std::vector<ShotFrame>& plan,
                                    std::vector<FrameBuffers>& buffers, std::FILE* out)
{
    std::vector<std::optional<DepthScale>> scales(plan.size());
    ForEachInParallel(plan.size(), static_cast<int>(buffers.size()), [&](std::size_t index, int worker) {
        if (!plan[index].problem.empty()) return;
        try {
            scales[index] = InputScale(run, plan[index].input, buffers[worker]);
        } catch (const std::exception&) {
        }
    });
    std::optional<DepthScale> shot;
    for (const std::optional<DepthScale>& scale : scales)
        if (scale) shot = shot ? Widened(*shot, *scale) : *scale;
    if (shot)
        std::fprintf(out, "shot range: %s:%s over %zu frames\n", NumberText(shot->nearest).c_str(),
                     NumberText(shot->farthest).c_str(), plan.size());
    return shot;
}

} // namespace

std::unique_ptr<FilterRunner> LoadFilter(const std::string& modulePath, std::FILE* errors)
{
    try {
        return std::make_unique<FilterRunner>(ModulePath(modulePath));
    } catch (const ToolError& error) {
        std::fprintf(errors, "error: %s\n", error.what());
        return nullptr;
    }
}

int RunApply(const ApplyOptions& options, std::FILE* out, std::FILE* errors)
{
    const std::unique_ptr<FilterRunner> runner = LoadFilter(options.modulePath, errors);
    return runner ? RunApply(*runner, options, out, errors) : EXIT_STATUS_FAILED;
}

int RunApply(FilterRunner& runner, const ApplyOptions& options, std::FILE* out, std::FILE* errors)
{
    const auto started = Clock::now();
    std::vector<FilterRunner*> filters = {&runner};
    std::vector<std::unique_ptr<FilterRunner>> twins;
    std::vector<ShotFrame> plan;
    // What the frames read at once may take; each worker's reads get an even share of it.
    const std::uint64_t budget = options.maxMemory != 0 ? options.maxMemory : PhysicalMemory() / 2;
    try {
        PrepareFilter(runner, options, out, errors);
        if (options.inputs.empty()) return EXIT_STATUS_OK;
        plan = PlanShot(options.inputs, options.frames, options.output);
        MakeOutputFolder(options.output);
        // Made before any frame is filtered, as a farm task's report folder often is not there yet.
        if (!options.reportPath.empty()) MakeFolder(std::filesystem::path(options.reportPath).parent_path());
        const int jobs = JobCount(options, plan, budget);
        for (int worker = jobs; worker > 1; --worker)
            filters.push_back(twins.emplace_back(runner.Twin()).get());
        SetExrDecodeThreads(DecodeThreadCount(jobs));
    } catch (const ToolError& error) {
        std::fprintf(errors, "error: %s\n", error.what());
        return EXIT_STATUS_FAILED;
    }

    ApplyRun run{options,
                 InputFiles(ExistingInputs(plan)),
                 runner.ChannelsRequired(),
                 SettingsOf(runner.SaveRecord()),
                 std::nullopt,
                 {}};
    std::vector<FrameBuffers> buffers(filters.size());
    for (FrameBuffers& held : buffers) held.readBudget = budget / buffers.size();
    // Grey where the filter rewrites every pixel into grey; a record's mode is known only now.
    const bool whole = run.settings.mode == MODE_WHOLE_IMAGE;
    if (options.png == PngKind::GREY && !whole) {
        std::fprintf(
            errors,
            "error: --png grey writes one grey channel, but the configuration record's mode %d keeps "
            "the colour of the pixels it does not select; use --png rgba\n",
            static_cast<int>(run.settings.mode));
        return EXIT_STATUS_FAILED;
    }
    run.png.kind = options.png.value_or(whole ? PngKind::GREY : PngKind::RGBA);
    run.png.bits = options.bits;
    run.png = WithCompression(run.png, options.compression);
    if (options.range.kind == RangeChoice::Kind::FIXED) run.scale = options.range.scale;
    if (options.range.kind == RangeChoice::Kind::SHOT) {
        run.scale = ShotScale(run, plan, buffers, out);
        if (!run.scale) {
            std::fprintf(errors,
                         "error: --range shot: no depth takes part in any frame (after --background %s), so "
                         "there is no scale to give them; no frame was written\n",
                         options.background.Text().c_str());
            return EXIT_STATUS_FAILED;
        }
    }
    Progress progress(plan.size(), isatty(fileno(out)) != 0, out, errors);
    std::vector<FrameRecord> records(plan.size());
    std::mutex shown;
    ShownOnce once;
    ForEachInParallel(plan.size(), static_cast<int>(filters.size()), [&](std::size_t index, int worker) {
        {
            const std::lock_guard<std::mutex> lock(shown);
            progress.Begin(index, plan[index].input);
        }
        FrameOutcome outcome;
        FrameRecord record = RunFrame(*filters[worker], run, buffers[worker], plan[index], outcome);
        const std::lock_guard<std::mutex> lock(shown);
        ShowFrame(progress, index, record, outcome, once);
        records[index] = std::move(record);
    });
    progress.End();
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::fprintf(out, "%s\n", SummaryLine(records, seconds).c_str());
    bool failed = false;
    for (const FrameRecord& record : records)
        failed |= record.status == FrameStatus::FAILED || record.status == FrameStatus::MISSING;
    if (!options.reportPath.empty()) {
        try {
            WriteShotReport(options.reportPath, records, seconds);
        } catch (const ToolError& error) {
            std::fprintf(errors, "error: %s\n", error.what());
            failed = true;
        }
    }
    return failed ? EXIT_STATUS_FAILED : EXIT_STATUS_OK;
}
