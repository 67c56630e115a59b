// Any bytes as a command line, its words split at zero bytes: every option's value (modes,
// backgrounds, ranges, formats, memory sizes, frame lists, numbers), the checks of the line as a
// whole and the output paths it leads to. Parsing ends in a command or in a UsageError; any other
// exception escapes and libFuzzer keeps the input. A frame pattern is taken only with its frames, an
// apply's outputs are never empty and those in a folder have the format asked, and help is there
// for every topic the parser accepts.
#include <algorithm>
#include <string>
#include <vector>

#include "base/tool_error.h"
#include "cli/command_line.h"
#include "fuzz_support.h"
#include "shot/frame_pattern.h"

using namespace deepglass;

namespace {

// Frame lists may name up to a million frames; the outputs of a few are enough to check.
constexpr std::size_t FRAMES_CHECKED = 16;

// A frame pattern among the inputs is only taken with the frames it stands for.
void CheckShot(const std::vector<std::string>& inputs, const std::vector<int>& frames)
{
    FUZZ_REQUIRE(!inputs.empty());
    if (std::any_of(inputs.begin(), inputs.end(),
                    [](const std::string& input) { return HasFramePattern(input); }))
        FUZZ_REQUIRE(!frames.empty());
}

void CheckApply(const ApplyOptions& options)
{
    if (!options.inputs.empty()) CheckShot(options.inputs, options.frames);
    FUZZ_REQUIRE(!options.inputs.empty() || !options.filter.saveConfigPath.empty());
    FUZZ_REQUIRE(options.jobs >= 0);
    const std::vector<int> frames(options.frames.begin(),
                                  options.frames.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                               FRAMES_CHECKED, options.frames.size())));
    for (const std::string& input : options.inputs) {
        std::vector<std::string> inputs;
        if (HasFramePattern(input))
            for (int frame : frames) inputs.push_back(FramePath(input, frame));
        else
            inputs.push_back(input);
        for (const std::string& named : inputs) {
            const std::optional<int> number = FrameNumberOf(named);
            std::string output;
            if (HasFramePattern(options.output.path)) {
                if (!number) continue;
                output = FramePath(options.output.path, *number);
            } else {
                output = OutputPaths({named}, options.output).front();
            }
            FUZZ_REQUIRE(!output.empty());
            FUZZ_REQUIRE(HasExtension(output, options.output.format == OutputFormat::PNG ? ".png" : ".exr") ||
                         !options.output.isFolder);
            FUZZ_REQUIRE(ViewOutputPath(output, "left") != output);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> arguments;
    std::string word;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.push_back(word);
            word.clear();
        } else {
            word += static_cast<char>(data[i]);
        }
    }
    if (!word.empty() || size == 0) arguments.push_back(word);
    if (arguments.size() == 1 && arguments[0].empty()) arguments.clear();

    Command command;
    try {
        command = ParseCommandLine(arguments);
    } catch (const UsageError& error) {
        FUZZ_REQUIRE(error.what()[0] != '\0');
        return 0;
    }
    switch (command.kind) {
    case CommandKind::HELP: FUZZ_REQUIRE(!HelpText(command.helpTopic).empty()); break;
    case CommandKind::APPLY: CheckApply(command.apply); break;
    case CommandKind::INFO: CheckShot(command.info.inputs, command.info.frames); break;
    case CommandKind::DEPTH: CheckShot(command.depth.inputs, command.depth.frames); break;
    default: break;
    }
    return 0;
}
