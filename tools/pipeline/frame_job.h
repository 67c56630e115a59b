// One frame of an `apply` run from start to end: its input opened once, filtered and written (or
// skipped when its outputs exist), its record for the report, and what the user is shown of it.
#pragma once

#include <string>
#include <vector>

#include "pipeline/apply_run.h"
#include "shot/progress.h"
#include "shot/shot_plan.h"
#include "shot/shot_report.h"

namespace deepglass {

struct FrameOutcome {
    std::vector<std::string> warnings;
    std::string hint;
    std::string channels;             // which channels were taken
    std::string ruleNote;             // what the automatic background rule took
    std::string samplingNote;         // which colour channels were subsampled
    std::vector<std::string> removed; // temporaries of the frame's outputs left by dead writers
};

// What a run shows once, or again only when it changes.
struct ShownOnce {
    bool hint = false;
    bool ruleNote = false;
    bool samplingNote = false;
    std::string channels;
};

// One frame of the shot, at `place` in the run, from start to end, with the worker's filter and
// memory; failures end up in the record, never thrown.
FrameRecord RunFrameJob(const ApplyRun& run, Worker& worker, const ShotFrame& shot, std::size_t place,
                        FrameOutcome& outcome);

// What the user sees of a finished frame: its warnings, the first hint and background note of the
// run, the channels taken when they differ from those shown before, its error.
void ShowFrame(Progress& progress, std::size_t index, const FrameRecord& record, const FrameOutcome& outcome,
               ShownOnce& shown);

} // namespace deepglass
