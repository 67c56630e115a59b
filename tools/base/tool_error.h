// The tool's two kinds of failure: a command line it cannot follow (exit status 2) and anything
// else that stops a command or a frame (exit status 1). Their messages are shown as they are.
#pragma once

#include <stdexcept>

namespace deepglass {

struct ToolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct UsageError : ToolError {
    using ToolError::ToolError;
};

constexpr int EXIT_STATUS_OK = 0;
constexpr int EXIT_STATUS_FAILED = 1;
constexpr int EXIT_STATUS_USAGE = 2;

} // namespace deepglass
