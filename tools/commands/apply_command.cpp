#include "commands/apply_command.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>

#include "cli/tool_error.h"
#include "commands/filter_input.h"
#include "commands/progress.h"
#include "files/atomic_output.h"
#include "files/exr_layout.h"
#include "files/output_writer.h"
#include "files/read_budget.h"
#include "host/filter_runner.h"
#include "host/frame_stats.h"
#include "shot/frame_pattern.h"
#include "shot/job_count.h"
#include "shot/shot_plan.h"
#include "shot/shot_report.h"
#include "shot/worker_pool.h"

namespace {

using Clock = std::chrono::steady_clock;

struct FrameOutcome {
    std::vector<std::string> warnings;
    std::string hint;
    std::string channels; // which channels were taken
};

std::string Listed(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

void FilterFrame(FilterRunner& runner, const ApplyOptions& options, const std::vector<std::string>& inputs,
                 FrameBuffers& buffers, FrameRecord& record, FrameOutcome& outcome)
{
    FilteredInput filtered = FilterInput(runner, options, record.input, record.output, inputs, buffers);
    outcome.warnings = std::move(filtered.warnings);
    outcome.hint = std::move(filtered.hint);
    outcome.channels = std::move(filtered.channels);
    record.outputs = std::move(filtered.outputs);
    if (filtered.stats && filtered.stats->takingPart > 0) {
        record.nearest = filtered.stats->minMagnitude;
        record.farthest = filtered.stats->maxMagnitude;
    }
}

// The outputs of a frame when all of them are there already. Outputs appear only once complete
// (renamed into place), so one that exists is whole.
std::optional<std::vector<std::string>> ExistingOutputs(const ApplyOptions& options, const ShotFrame& shot)
{
    const std::vector<std::string> outputs = PlannedOutputs(options, shot.input, shot.output);
    for (const std::string& output : outputs) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(output, error)) return std::nullopt;
    }
    return outputs;
}

// One frame of the shot from start to end; failures end up in the record, never thrown.
FrameRecord RunFrame(FilterRunner& runner, const ApplyOptions& options,
                     const std::vector<std::string>& inputs, FrameBuffers& buffers, const ShotFrame& shot,
                     FrameOutcome& outcome)
{
    const auto started = Clock::now();
    FrameRecord record;
    record.input = shot.input;
    record.output = shot.output;
    record.number = shot.number;
    if (!shot.problem.empty()) {
        record.status = shot.missing ? FrameStatus::MISSING : FrameStatus::FAILED;
        record.message = shot.problem;
    } else {
        try {
            std::optional<std::vector<std::string>> existing;
            if (options.skipExisting) existing = ExistingOutputs(options, shot);
            if (existing) {
                record.status = FrameStatus::SKIPPED;
                record.message = existing->size() == 1 ? "its output exists" : "its outputs exist";
                record.outputs = std::move(*existing);
            } else {
                FilterFrame(runner, options, inputs, buffers, record, outcome);
                record.status = FrameStatus::WRITTEN;
            }
        } catch (const std::exception& failure) {
            record.status = FrameStatus::FAILED;
            record.message = dynamic_cast<const std::bad_alloc*>(&failure) != nullptr
                                 ? std::string("not enough memory for this frame")
                                 : failure.what();
            record.nearest = record.farthest = std::nullopt;
            record.outputs.clear();
        }
    }
    if (!record.outputs.empty()) record.output = record.outputs.front();
    if (record.status == FrameStatus::WRITTEN)
        for (const std::string& warning : outcome.warnings)
            record.message += (record.message.empty() ? "" : "; ") + warning;
    record.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    return record;
}

// What the user sees of a finished frame: its warnings, the first hint of the run, the channels
// taken when they differ from those shown before, its error.
void ShowFrame(Progress& progress, std::size_t index, const FrameRecord& record, const FrameOutcome& outcome,
               bool& hintShown, std::string& channelsShown)
{
    const std::string& input = record.input;
    switch (record.status) {
    case FrameStatus::WRITTEN:
        if (outcome.channels != channelsShown) {
            progress.Message("note: " + input + ": channels " + outcome.channels);
            channelsShown = outcome.channels;
        }
        for (const std::string& warning : outcome.warnings)
            progress.Message("warning: " + input + ": " + warning);
        if (!outcome.hint.empty() && !hintShown) {
            progress.Message("hint: " + input + ": " + outcome.hint);
            hintShown = true;
        }
        progress.Done(index, input + " -> " + Listed(record.outputs));
        break;
    case FrameStatus::SKIPPED:
        progress.Done(index, input + ": skipped, " + Listed(record.outputs) +
                                 (record.outputs.size() == 1 ? " exists" : " exist"));
        break;
    case FrameStatus::MISSING:
        progress.Message("error: frame " + std::to_string(record.number.value_or(0)) + " " + record.message);
        progress.Done(index, input + ": missing");
        break;
    case FrameStatus::FAILED: {
        const bool named = record.message.find(input) != std::string::npos;
        progress.Message("error: " + (named ? record.message : input + ": " + record.message));
        progress.Done(index, input + ": failed");
        break;
    }
    }
}

// Loads the module and configures its filter, saving its record when asked.
std::unique_ptr<FilterRunner> PreparedFilter(const ApplyOptions& options, std::FILE* out, std::FILE* errors)
{
    auto runner =
        std::make_unique<FilterRunner>(options.modulePath.empty() ? DefaultModulePath() : options.modulePath);
    for (const std::string& warning : ConfigureFilter(*runner, options.filter))
        std::fprintf(errors, "warning: %s\n", warning.c_str());
    if (!options.filter.saveConfigPath.empty()) {
        SaveFilterRecord(*runner, options.filter.saveConfigPath, options.inputs);
        std::fprintf(out, "wrote %s\n", options.filter.saveConfigPath.c_str());
    }
    return runner;
}

void MakeOutputFolder(const OutputTarget& target)
{
    const std::filesystem::path folder = target.isFolder ? std::filesystem::path(target.path)
                                                         : std::filesystem::path(target.path).parent_path();
    if (folder.empty() || (!target.isFolder && !HasFramePattern(target.path))) return;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw ToolError("cannot make the folder " + folder.string() + ": " + error.message());
}

// -j as given, or one a core within the memory budget; never more than the frames to filter.
int JobCount(const ApplyOptions& options, const std::vector<ShotFrame>& plan)
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
        if (first != nullptr)
            frameBytes = FrameMemoryEstimate(first->input, options.output.format.value_or(OutputFormat::PNG));
    } catch (const ToolError&) {
        // The frame's own read reports what is wrong with it; the cores alone decide.
    }
    return DefaultJobCount(pending, frameBytes);
}

} // namespace

int RunApply(const ApplyOptions& options, std::FILE* out, std::FILE* errors)
{
    const auto started = Clock::now();
    std::vector<std::unique_ptr<FilterRunner>> runners;
    std::vector<ShotFrame> plan;
    try {
        runners.push_back(PreparedFilter(options, out, errors));
        if (options.inputs.empty()) return EXIT_STATUS_OK;
        plan = PlanShot(options.inputs, options.frames, options.output);
        MakeOutputFolder(options.output);
        const int jobs = JobCount(options, plan);
        for (int worker = jobs; worker > 1; --worker) runners.push_back(runners.front()->Twin());
        SetExrDecodeThreads(DecodeThreadCount(jobs));
    } catch (const ToolError& error) {
        std::fprintf(errors, "error: %s\n", error.what());
        return EXIT_STATUS_FAILED;
    }

    const std::vector<std::string> inputs = ExistingInputs(plan);
    Progress progress(plan.size(), isatty(fileno(out)) != 0, out, errors);
    std::vector<FrameRecord> records(plan.size());
    std::vector<FrameBuffers> buffers(runners.size());
    // Each worker's reads get an even share of the memory budget.
    const std::uint64_t budget = options.maxMemory != 0 ? options.maxMemory : DefaultReadBudget(1);
    for (FrameBuffers& held : buffers) held.readBudget = budget / buffers.size();
    std::mutex shown;
    bool hintShown = false;
    std::string channelsShown;
    ForEachInParallel(plan.size(), static_cast<int>(runners.size()), [&](std::size_t index, int worker) {
        {
            const std::lock_guard<std::mutex> lock(shown);
            progress.Begin(index, plan[index].input);
        }
        FrameOutcome outcome;
        FrameRecord record =
            RunFrame(*runners[worker], options, inputs, buffers[worker], plan[index], outcome);
        const std::lock_guard<std::mutex> lock(shown);
        ShowFrame(progress, index, record, outcome, hintShown, channelsShown);
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
