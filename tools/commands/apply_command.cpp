#include "commands/apply_command.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>

#include "base/machine.h"
#include "base/number_text.h"
#include "base/tool_error.h"
#include "exr/exr_layout.h"
#include "module/filter_configuration.h"
#include "module/filter_runner.h"
#include "output/icc_profile.h"
#include "pipeline/frame_job.h"
#include "pipeline/shot_scale.h"
#include "pipeline/view_strips.h"
#include "shot/frame_pattern.h"
#include "shot/job_count.h"
#include "shot/progress.h"
#include "shot/shot_plan.h"
#include "shot/shot_report.h"
#include "shot/worker_pool.h"
#include "shot_video/shot_video.h"

namespace deepglass {

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point started)
{
    return std::chrono::duration<double>(Clock::now() - started).count();
}

// Greys sampled from linear 0 to 1 to tell a display transform's curve.
constexpr int DISPLAY_RESPONSE_POINTS = 4096;

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

// The first frame of the plan that can be read; null when none can.
const ShotFrame* FirstPending(const std::vector<ShotFrame>& plan)
{
    for (const ShotFrame& shot : plan)
        if (shot.problem.empty()) return &shot;
    return nullptr;
}

// What a video's encoder may take of the budget, set aside before the frames share the rest: what
// it takes for the first frame's size; 0 for pictures.
std::uint64_t EncoderShare(const ApplyOptions& options, const std::vector<ShotFrame>& plan,
                           std::uint64_t budget)
{
    const ShotFrame* first = FirstPending(plan);
    if (budget == 0 || first == nullptr || !IsVideo(options.output.format)) return 0;
    try {
        return std::min(budget, EncoderMemoryEstimate(first->input, options.output.format, budget));
    } catch (const ToolError&) {
        return 0; // the frame's own read reports what is wrong with it
    }
}

// -j as given, or as many frames as fit in the memory budget, one a core; never more than the
// frames to filter.
int JobCount(const ApplyOptions& options, const std::vector<ShotFrame>& plan, std::uint64_t budget)
{
    std::size_t pending = 0;
    for (const ShotFrame& shot : plan) pending += shot.problem.empty() ? 1 : 0;
    if (options.jobs > 0)
        return static_cast<int>(std::min<std::size_t>(options.jobs, std::max<std::size_t>(pending, 1)));
    std::uint64_t frameBytes = 0;
    try {
        if (const ShotFrame* first = FirstPending(plan))
            frameBytes =
                FrameMemoryEstimate(first->input, options.output.format, budget, options.display != nullptr);
    } catch (const ToolError&) {
        // The frame's own read reports what is wrong with it; the cores alone decide.
    }
    return DefaultJobCount(pending, frameBytes, budget);
}

// The run's frames and workers, and the filter's twins the workers beyond the first use.
struct ApplyShot {
    std::vector<ShotFrame> plan;
    std::uint64_t encoderShare = 0; // of the budget, what a video's encoder may take
    std::vector<std::unique_ptr<FilterRunner>> twins;
    std::vector<Worker> workers;
};

// Plans the shot: the filter configured (its record saved when asked), the frames and their
// outputs, the folders they go to, and one worker a job with its own filter.
ApplyShot PlanApply(FilterRunner& runner, const ApplyOptions& options, std::uint64_t budget, std::FILE* out,
                    std::FILE* errors)
{
    ApplyShot shot;
    PrepareFilter(runner, options, out, errors);
    if (options.inputs.empty()) return shot;
    shot.plan = PlanShot(options.inputs, options.frames, options.output);
    MakeOutputFolder(options.output);
    // Made before any frame is filtered, as a farm task's report folder often is not there yet.
    if (!options.reportPath.empty()) MakeFolder(std::filesystem::path(options.reportPath).parent_path());
    shot.encoderShare = EncoderShare(options, shot.plan, budget);
    const int jobs = JobCount(options, shot.plan, budget - shot.encoderShare);
    shot.workers.resize(static_cast<std::size_t>(jobs));
    shot.workers[0].filter = &runner;
    for (std::size_t worker = 1; worker < shot.workers.size(); ++worker)
        shot.workers[worker].filter = shot.twins.emplace_back(runner.Twin()).get();
    SetExrDecodeThreads(DecodeThreadCount(jobs));
    return shot;
}

// How PNG pictures are stored: grey where the filter rewrites every pixel into grey, which only
// the mode its record holds tells.
std::optional<PngFormat> PngFormatOf(const ApplyOptions& options, const FilterSettings& settings,
                                     std::FILE* errors)
{
    const bool whole = settings.mode == MODE_WHOLE_IMAGE;
    if (options.png == PngKind::GREY && !whole) {
        std::fprintf(
            errors,
            "error: --png grey writes one grey channel, but the configuration record's mode %d keeps "
            "the colour of the pixels it does not select; use --png rgba\n",
            static_cast<int>(settings.mode));
        return std::nullopt;
    }
    if (options.output.format == OutputFormat::MP4 && !whole) {
        std::fprintf(errors,
                     "error: the configuration record's mode %d keeps the colour of the pixels it does not "
                     "select, which H.264's 4:2:0 in an .mp4 does not hold; write .mkv, which holds the "
                     "RGBA picture losslessly\n",
                     static_cast<int>(settings.mode));
        return std::nullopt;
    }
    PngFormat format;
    format.kind = options.png.value_or(whole ? PngKind::GREY : PngKind::RGBA);
    format.bits = options.bits;
    // Depth greys are data; kept colour says which display it is for.
    if (!whole && options.display) {
        const std::vector<float> response = GreyResponse(*options.display, DISPLAY_RESPONSE_POINTS);
        if (IsSrgbResponse(response))
            format.srgb = true;
        else
            format.iccProfile = IccDisplayProfile(response, options.display->Text());
    }
    return WithCompression(format, options.compression);
}

// "NEAR:FAR", as --range takes it back.
std::string ScaleText(const DepthScale& scale)
{
    return NumberText(scale.nearest) + ":" + NumberText(scale.farthest);
}

// The one scale of every frame, when the run asks for one; false, the error shown, when --range
// shot finds none or none the curve can take.
bool FixRunScale(ApplyRun& run, const std::vector<ShotFrame>& plan, std::vector<Worker>& workers,
                 std::FILE* out, std::FILE* errors)
{
    const RangeChoice& range = run.options.range;
    if (range.kind == RangeChoice::Kind::FIXED) run.scale = range.scale;
    if (range.kind != RangeChoice::Kind::SHOT) return true;
    const ShotRange shot = ShotScale(run, plan, workers);
    if (!shot.Ends()) {
        std::fprintf(errors,
                     "error: --range shot: no depth takes part in any frame (after --background %s), so "
                     "there is no scale to give them; no frame was written\n",
                     run.options.background.Text().c_str());
        return false;
    }
    if (!CurveTakes(range.curve, *shot.Ends())) {
        std::fprintf(errors,
                     "error: --range shot: --curve inverse maps 1/depth, and the shot's nearest depth "
                     "magnitude taking part is 0 (after --background %s), which has none; give --clip "
                     "LOW:HIGH, a --background rule that takes those pixels, or --range NEAR:FAR with "
                     "NEAR above 0; no frame was written\n",
                     run.options.background.Text().c_str());
        return false;
    }
    std::string line =
        "shot range: " + ScaleText(*shot.Ends()) + " over " + std::to_string(shot.frames) + " frames";
    if (shot.clipped)
        line += " (--clip " + range.clip->Text() + "; nearest to farthest " + ScaleText(*shot.scale) + ")";
    std::fprintf(out, "%s\n", line.c_str());
    run.scale = shot.Ends();
    return true;
}

// Every frame filtered by the workers, with progress; the records in the plan's order.
std::vector<FrameRecord> FilterShot(const ApplyRun& run, const std::vector<ShotFrame>& plan,
                                    std::vector<Worker>& workers, std::FILE* out, std::FILE* errors)
{
    Progress progress(plan.size(), isatty(fileno(out)) != 0, out, errors);
    std::vector<FrameRecord> records(plan.size());
    std::mutex shown;
    ShownOnce once;
    ForEachInParallel(plan.size(), static_cast<int>(workers.size()), [&](std::size_t index, int worker) {
        // Once the video has failed, the frames left are not filtered, nor shown one by one.
        if (run.video != nullptr && plan[index].problem.empty())
            if (const std::optional<std::string> failure = run.video->Failure()) {
                records[index] = NotFiltered(plan[index], *failure);
                return;
            }
        {
            const std::lock_guard<std::mutex> lock(shown);
            progress.Begin(index, plan[index].input);
        }
        FrameOutcome outcome;
        FrameRecord record = RunFrameJob(run, workers[worker], plan[index], index, outcome);
        const std::lock_guard<std::mutex> lock(shown);
        ShowFrame(progress, index, record, outcome, once);
        records[index] = std::move(record);
    });
    progress.End();
    return records;
}

// The summary line and the report; answers the exit status.
int ReportShot(const ApplyOptions& options, const std::vector<FrameRecord>& records, double seconds,
               std::FILE* out, std::FILE* errors)
{
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

} // namespace

void MakeOutputFolder(const OutputTarget& target)
{
    if (target.isFolder)
        MakeFolder(target.path);
    else if (HasFramePattern(target.path))
        MakeFolder(std::filesystem::path(target.path).parent_path());
}

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
    const std::uint64_t budget = MemoryBudget(options.maxMemory);
    ApplyShot shot;
    try {
        shot = PlanApply(runner, options, budget, out, errors);
    } catch (const ToolError& error) {
        std::fprintf(errors, "error: %s\n", error.what());
        return EXIT_STATUS_FAILED;
    }
    if (options.inputs.empty()) return EXIT_STATUS_OK;
    const FilterSettings settings = SettingsOf(runner.SaveRecord());
    const std::optional<PngFormat> png = PngFormatOf(options, settings, errors);
    if (!png) return EXIT_STATUS_FAILED;
    // Each worker's reads get an even share of what the budget leaves the frames (never 0, which
    // would mean no budget).
    ExrReadLimits limits;
    if (budget != 0)
        limits.maxSampleBytes =
            std::max<std::uint64_t>((budget - shot.encoderShare) / shot.workers.size(), 1);
    ApplyRun run{options,
                 InputFiles(ExistingInputs(shot.plan)),
                 runner.ChannelsRequired(),
                 settings,
                 limits,
                 std::nullopt,
                 *png,
                 options.display.get(),
                 FrameThreadCount(static_cast<int>(shot.workers.size())),
                 runner.Description() + " (library version " + std::to_string(runner.LibraryVersion()) + ")"};
    try {
        AddStripLanes(shot.workers, run.frameThreads);
    } catch (const ToolError& error) {
        std::fprintf(errors, "error: %s\n", error.what());
        return EXIT_STATUS_FAILED;
    }
    std::unique_ptr<ShotVideo> video;
    if (IsVideo(options.output.format)) {
        // Outputs appear only when complete, so a video that exists is whole.
        std::error_code missing;
        if (options.skipExisting && std::filesystem::is_regular_file(options.output.path, missing))
            return ReportShot(options, SkipVideo(shot.plan, options.output.path, out, errors),
                              Seconds(started), out, errors);
        video = MakeShotVideo(options, *png, shot.plan, shot.encoderShare);
        run.video = video.get();
        // A frame that cannot be filtered fails the video before the shot's scale is looked for.
        for (std::size_t place = 0; place < shot.plan.size(); ++place)
            if (!shot.plan[place].problem.empty()) {
                FrameOutcome unused;
                RunFrameJob(run, shot.workers[0], shot.plan[place], place, unused);
            }
    }
    if (!(video && video->Failure()) && !FixRunScale(run, shot.plan, shot.workers, out, errors))
        return EXIT_STATUS_FAILED;
    std::vector<FrameRecord> records = FilterShot(run, shot.plan, shot.workers, out, errors);
    if (video) FinishVideo(*video, records, errors);
    return ReportShot(options, records, Seconds(started), out, errors);
}

} // namespace deepglass
