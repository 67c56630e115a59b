// What became of each frame of a run, for people (the summary line) and for machines (a JSON
// report with one entry a frame under "frames", so that a farm can tell which frames to run again).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace deepglass {

enum class FrameStatus { WRITTEN, SKIPPED, FAILED, MISSING };

struct FrameRecord {
    std::string input;
    std::string planned;              // the output the shot's plan names
    std::vector<std::string> outputs; // written (one a view with --view all), or found complete
    // The first output written or found, else the one planned.
    const std::string& Output() const { return outputs.empty() ? planned : outputs.front(); }

    std::optional<int> number;
    FrameStatus status = FrameStatus::FAILED;
    std::string message; // the error, or the warnings joined by "; "
    // The depth magnitudes the grey scale ran between; none when no pixel took part.
    std::optional<float> nearest;
    std::optional<float> farthest;
    double seconds = 0.0;
};

// "written", "skipped", "failed" or "missing".
const char* StatusName(FrameStatus status);

// "12 frames: 9 written, 1 skipped, 1 failed, 1 missing, 3.20 s" (counts of 0 left out, but for written).
std::string SummaryLine(const std::vector<FrameRecord>& records, double seconds);

// Writes the report as a whole (under a temporary name, renamed when complete); a ToolError if not.
void WriteShotReport(const std::string& path, const std::vector<FrameRecord>& records, double seconds);

} // namespace deepglass
