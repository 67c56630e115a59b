// A shot as a list of frames: the inputs named on the command line (files, or frame patterns with a
// range), each with its frame number and the output it is written to (a video: the same for all). Frames a
// range names but the disk lacks stay in the list, marked missing, so that they are reported by number.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "shot/output_paths.h"

namespace deepglass {

struct ShotFrame {
    std::string input;
    std::string output;
    std::optional<int> number; // from the range, or from the input's name
    // Not empty: the frame is not filtered, and this says why.
    std::string problem;
    bool missing = false; // the range names it, but its input does not exist
};

// How many frames the inputs stand for: a pattern counts once for each frame of `frames`.
std::size_t ShotFrameCount(const std::vector<std::string>& inputs, const std::vector<int>& frames);

// The frames in order. With a range, plain inputs are kept only when the number in their name is
// in it. Outputs follow `target` (a pattern gets the frame number); a frame whose output another
// frame of the shot already writes (a picture) gets a problem instead of overwriting it.
std::vector<ShotFrame> PlanShot(const std::vector<std::string>& inputs, const std::vector<int>& frames,
                                const OutputTarget& target);

// Only the inputs of a plan that exist (for commands that write nothing).
std::vector<std::string> ExistingInputs(const std::vector<ShotFrame>& plan);

} // namespace deepglass
