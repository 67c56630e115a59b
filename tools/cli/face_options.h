// A command's options as another face of the tool hands them over (the Python module, the Blender
// add-on): each option by its long name with its value, parsed by the command's own option table
// and checked by its own checks, so that defaults, checks and messages are the command line's.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/tool_error.h"
#include "cli/command.h"

namespace deepglass {

// An option by its long name without the dashes ("range-over"); its value, none for a switch.
using FaceOption = std::pair<std::string, std::optional<std::string>>;

// A UsageError that names the option whose value was refused; empty where the options together,
// or the operands, could not be followed.
struct FaceUsageError : UsageError {
    FaceUsageError(const std::string& message, std::string option)
        : UsageError(message), option(std::move(option))
    {
    }
    std::string option;
};

// What a command's options are: the long name of each, and whether it takes a value.
struct FaceOptionRow {
    std::string name;
    bool takesValue = false;
    std::string value; // the value's name in help ("LOW:HIGH"); empty for a switch
    std::string help;
};

// The options of `command` (apply, info or depth). A UsageError for another command.
std::vector<FaceOptionRow> FaceOptionRows(const std::string& command);

// The command parsed from `options` and `operands` as the command line parses it, with
// `colourConfig` in place of $OCIO. A FaceUsageError for anything it cannot follow.
Command ParseFaceCommand(const std::string& command, const std::vector<FaceOption>& options,
                         std::vector<std::string> operands, const std::string& colourConfig);

} // namespace deepglass
