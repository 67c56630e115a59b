// The tool's commands, each answering its exit status.
#pragma once

#include <string>
#include <vector>

namespace deepglass {

// Parses the arguments (without the program name) and runs the command.
int RunTool(const std::vector<std::string>& arguments);

} // namespace deepglass
