#include "commands/tool_commands.h"

#include <cstdio>

#include "base/tool_error.h"
#include "cli/command_line.h"
#include "commands/apply_command.h"
#include "commands/depth_command.h"
#include "commands/info_command.h"
#include "commands/sample_command.h"
#include "module/filter_runner.h"

namespace deepglass {

namespace {

int RunVersion(const std::string& modulePath)
{
    std::printf("deepglass %s\n", DEEPGLASS_VERSION_NUMBER);
    try {
        const std::string path = ModulePath(modulePath);
        FilterRunner runner(path);
        std::printf("module %s: %s (library version %u)\n", path.c_str(), runner.Description().c_str(),
                    runner.LibraryVersion());
    } catch (const ToolError& error) {
        std::printf("module: %s\n", error.what());
        return EXIT_STATUS_FAILED;
    }
    return EXIT_STATUS_OK;
}

} // namespace

int RunTool(const std::vector<std::string>& arguments)
{
    try {
        const Command command = ParseCommandLine(arguments);
        switch (command.kind) {
        case CommandKind::HELP:
            std::fputs(HelpText(command.helpTopic).c_str(), stdout);
            return EXIT_STATUS_OK;
        case CommandKind::VERSION: return RunVersion(command.modulePath);
        case CommandKind::APPLY: return RunApply(command.apply, stdout, stderr);
        case CommandKind::INFO: return RunInfo(command.info, stdout, stderr);
        case CommandKind::DEPTH: return RunDepth(command.depth, stdout, stderr);
        case CommandKind::SAMPLE: return RunSample(command.sample);
        case CommandKind::DEMO: return RunDemo(command.demo);
        }
    } catch (const UsageError& error) {
        std::fprintf(stderr, "deepglass: %s\n", error.what());
        return EXIT_STATUS_USAGE;
    } catch (const ToolError& error) {
        std::fprintf(stderr, "error: %s\n", error.what());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "error: %s\n", error.what());
    }
    return EXIT_STATUS_FAILED;
}

} // namespace deepglass
