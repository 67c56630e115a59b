#include "pipeline/frame_job.h"

#include <chrono>
#include <filesystem>

#include "base/list_text.h"
#include "output/atomic_output.h"
#include "pipeline/frame_filter.h"

namespace deepglass {

namespace {

using Clock = std::chrono::steady_clock;

void FilterInto(const ApplyRun& run, Worker& worker, ExrInput& input, std::size_t place, FrameRecord& record,
                FrameOutcome& outcome)
{
    FilteredFrame filtered = FilterFrame(run, worker, input, record.planned, record.number, place);
    outcome.warnings = std::move(filtered.warnings);
    outcome.hint = std::move(filtered.hint);
    outcome.channels = std::move(filtered.channels);
    outcome.ruleNote = std::move(filtered.ruleNote);
    outcome.samplingNote = std::move(filtered.samplingNote);
    record.outputs = std::move(filtered.outputs);
    if (filtered.scale) {
        record.nearest = filtered.scale->nearest;
        record.farthest = filtered.scale->farthest;
    }
}

// The outputs of a frame when all of them are there already. Outputs appear only once complete
// (renamed into place), so one that exists is whole.
std::optional<std::vector<std::string>> ExistingOutputs(const std::vector<std::string>& outputs)
{
    for (const std::string& output : outputs) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(output, error)) return std::nullopt;
    }
    return outputs;
}

// Whether `message` names `input` itself, as a word followed by a colon (a reader's "IN: ..." or
// "cannot read IN: ..."), rather than within another path such as an output's.
bool NamesInput(const std::string& message, const std::string& input)
{
    for (std::size_t at = message.find(input); at != std::string::npos; at = message.find(input, at + 1))
        if ((at == 0 || message[at - 1] == ' ') && message.compare(at + input.size(), 1, ":") == 0)
            return true;
    return false;
}

// The frame as a video's failure names it: its number and input, or its input.
std::string FrameName(const FrameRecord& record)
{
    return record.number ? "frame " + std::to_string(*record.number) + " (" + record.input + ")"
                         : record.input;
}

// Why a frame did not reach the video, naming it once.
std::string Unwritten(const FrameRecord& record)
{
    if (record.status == FrameStatus::WRITTEN) return FrameName(record) + " wrote no picture";
    if (record.status == FrameStatus::MISSING) return FrameName(record) + " is " + record.message;
    const std::string named = record.input + ": ";
    const bool leads = record.message.rfind(named, 0) == 0;
    return FrameName(record) + " failed: " + (leads ? record.message.substr(named.size()) : record.message);
}

} // namespace

FrameRecord RunFrameJob(const ApplyRun& run, Worker& worker, const ShotFrame& shot, std::size_t place,
                        FrameOutcome& outcome)
{
    const auto started = Clock::now();
    FrameRecord record;
    record.input = shot.input;
    record.planned = shot.output;
    record.number = shot.number;
    if (!shot.problem.empty()) {
        record.status = shot.missing ? FrameStatus::MISSING : FrameStatus::FAILED;
        record.message = shot.problem;
    } else {
        try {
            // The input is opened once: here already when its views name the outputs.
            std::optional<ExrInput> input;
            std::vector<std::string> outputs = {shot.output};
            if (run.options.view == "all") {
                input.emplace(shot.input, run.limits, run.frameThreads);
                outputs = PlannedOutputs(run.options, input->Layout(), shot.output);
            }
            // Whether the frame is written or skipped, what a dead writer left of its outputs goes.
            for (const std::string& output : outputs)
                for (std::string& removed : RemoveDeadWritersTemporaries(output))
                    outcome.removed.push_back(std::move(removed));
            std::optional<std::vector<std::string>> existing;
            // A video is skipped as a whole, before its frames are filtered.
            if (run.options.skipExisting && run.video == nullptr) existing = ExistingOutputs(outputs);
            if (existing) {
                record.status = FrameStatus::SKIPPED;
                record.message = existing->size() == 1 ? "its output exists" : "its outputs exist";
                record.outputs = std::move(*existing);
            } else {
                if (!input) input.emplace(shot.input, run.limits, run.frameThreads);
                FilterInto(run, worker, *input, place, record, outcome);
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
    if (record.status == FrameStatus::WRITTEN) record.message = ListText(outcome.warnings, "; ");
    // A frame that did not reach the video fails it, and frames waiting for their turn stop waiting.
    if (run.video != nullptr) run.video->Settle(place, Unwritten(record));
    record.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    return record;
}

void ShowFrame(Progress& progress, std::size_t index, const FrameRecord& record, const FrameOutcome& outcome,
               ShownOnce& shown)
{
    const std::string& input = record.input;
    if (!outcome.removed.empty())
        progress.Message("note: " + input + ": removed " +
                         (outcome.removed.size() == 1
                              ? std::string("a temporary file")
                              : std::to_string(outcome.removed.size()) + " temporary files") +
                         " left by a writer that no longer runs: " + ListText(outcome.removed));
    switch (record.status) {
    case FrameStatus::WRITTEN:
        if (outcome.channels != shown.channels) {
            progress.Message("note: " + input + ": channels " + outcome.channels);
            shown.channels = outcome.channels;
        }
        if (!outcome.ruleNote.empty() && !shown.ruleNote) {
            progress.Message("note: " + input + ": " + outcome.ruleNote);
            shown.ruleNote = true;
        }
        if (!outcome.samplingNote.empty() && !shown.samplingNote) {
            progress.Message("note: " + input + ": " + outcome.samplingNote);
            shown.samplingNote = true;
        }
        for (const std::string& warning : outcome.warnings)
            progress.Message("warning: " + input + ": " + warning);
        if (!outcome.hint.empty() && !shown.hint) {
            progress.Message("hint: " + input + ": " + outcome.hint);
            shown.hint = true;
        }
        progress.Done(index, input + " -> " + ListText(record.outputs));
        break;
    case FrameStatus::SKIPPED:
        progress.Done(index, input + ": skipped, " + ListText(record.outputs) +
                                 (record.outputs.size() == 1 ? " exists" : " exist"));
        break;
    case FrameStatus::MISSING:
        progress.Message("error: frame " + std::to_string(record.number.value_or(0)) + " " + record.message);
        progress.Done(index, input + ": missing");
        break;
    case FrameStatus::FAILED: {
        const bool named = NamesInput(record.message, input);
        progress.Message("error: " + (named ? record.message : input + ": " + record.message));
        progress.Done(index, input + ": failed");
        break;
    }
    }
}

} // namespace deepglass
