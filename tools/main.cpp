// deepglass: the command-line host of the Deepglass filter module.
#include <csignal>
#include <string>
#include <vector>

#include "commands/tool_commands.h"

int main(int argc, char** argv)
{
    // Past a file-size limit a write then fails like one on a full disk: the frame is reported and
    // its partial file removed, and the other frames are still written, where the signal's default
    // would end the whole run and leave the partial file behind.
    std::signal(SIGXFSZ, SIG_IGN);
    return deepglass::RunTool(std::vector<std::string>(argv + 1, argv + argc));
}
