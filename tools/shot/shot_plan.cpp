#include "shot/shot_plan.h"

#include <filesystem>
#include <set>

#include "shot/frame_pattern.h"

namespace deepglass {

namespace fs = std::filesystem;

std::size_t ShotFrameCount(const std::vector<std::string>& inputs, const std::vector<int>& frames)
{
    std::size_t count = 0;
    for (const std::string& input : inputs) count += HasFramePattern(input) ? frames.size() : 1;
    return count;
}

std::vector<ShotFrame> PlanShot(const std::vector<std::string>& inputs, const std::vector<int>& frames,
                                const OutputTarget& target)
{
    const std::set<int> wanted(frames.begin(), frames.end());
    std::vector<ShotFrame> plan;
    for (const std::string& input : inputs) {
        if (HasFramePattern(input)) {
            for (int frame : frames) {
                ShotFrame& shot = plan.emplace_back(ShotFrame{FramePath(input, frame), "", frame, "", false});
                std::error_code error;
                shot.missing = !fs::exists(shot.input, error);
            }
            continue;
        }
        const std::optional<int> number = FrameNumberOf(input);
        if (!frames.empty() && (!number || wanted.count(*number) == 0)) continue;
        plan.push_back({input, "", number, "", false}); // the reader says what is wrong with it
    }
    const bool pattern = HasFramePattern(target.path);
    std::set<std::string> taken;
    for (ShotFrame& shot : plan) {
        if (pattern) {
            if (!shot.number) {
                shot.problem = "its name carries no frame number for the output pattern " + target.path;
                continue;
            }
            shot.output = FramePath(target.path, *shot.number);
        } else {
            shot.output = OutputPaths({shot.input}, target).front();
        }
        if (shot.missing) {
            shot.problem = "missing: no file " + shot.input;
        } else if (!IsVideo(target.format) && !taken.insert(shot.output).second) {
            shot.problem =
                "its output " + shot.output + " was already written from another input of this run";
        }
    }
    return plan;
}

std::vector<std::string> ExistingInputs(const std::vector<ShotFrame>& plan)
{
    std::vector<std::string> inputs;
    for (const ShotFrame& shot : plan)
        if (!shot.missing) inputs.push_back(shot.input);
    return inputs;
}

} // namespace deepglass
