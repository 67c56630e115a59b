// The command line: which command, with which options. Everything the user can get wrong on the
// command line is found here and reported as a UsageError before any file is touched.
#pragma once

#include <string>
#include <vector>

#include "cli/command.h"

namespace deepglass {

// A UsageError for anything it cannot follow.
Command ParseCommandLine(const std::vector<std::string>& arguments);

// The help of the tool (topic "") or of one command; the tool's for a topic without its own.
std::string HelpText(const std::string& topic);

} // namespace deepglass
