// Each command's option table, bound to the command being parsed, and the checks of what was
// parsed; a check takes the operands and throws a UsageError for what it cannot follow.
#pragma once

#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/option_table.h"

namespace deepglass {

std::vector<Option> ApplyTable(Command& command);
void FinishApply(Command& command, std::vector<std::string>& operands);
std::vector<Option> InfoTable(Command& command);
void FinishInfo(Command& command, std::vector<std::string>& operands);
std::vector<Option> DepthTable(Command& command);
void FinishDepth(Command& command, std::vector<std::string>& operands);
std::vector<Option> SampleTable(Command& command);
void FinishSample(Command& command, std::vector<std::string>& operands);
std::vector<Option> DemoTable(Command& command);
void FinishDemo(Command& command, std::vector<std::string>& operands);
std::vector<Option> VersionTable(Command& command);
void FinishVersion(Command& command, std::vector<std::string>& operands);

} // namespace deepglass
