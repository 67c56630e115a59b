// deepglass: the command-line host of the Deepglass filter module.
#include <string>
#include <vector>

#include "commands/tool_commands.h"

int main(int argc, char** argv) { return RunTool(std::vector<std::string>(argv + 1, argv + argc)); }
