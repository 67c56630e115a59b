#include "cli/command_line.h"

#include <cstdlib>

#include "base/tool_error.h"
#include "cli/command_table.h"

namespace deepglass {

namespace {

// Where the summaries start in the tool's list of commands.
constexpr HelpLayout COMMAND_LIST_LAYOUT{43, false};

// "apply, info, sample and demo": the commands with help of their own.
std::string CommandNames()
{
    std::vector<std::string> names;
    for (const CommandEntry& entry : CommandTable())
        if (entry.operands != nullptr) names.push_back(entry.name);
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return text;
}

} // namespace

Command ParseCommandLine(const std::vector<std::string>& arguments)
{
    Command command;
    if (arguments.empty() || arguments[0] == "--help" || arguments[0] == "-h") return command;
    const std::string& name = arguments[0];
    const CommandEntry* entry = FindCommand(name);
    if (entry == nullptr)
        throw UsageError("unknown command " + name + "; commands are " + CommandNames() +
                         " (see deepglass --help)");
    if (entry->kind == CommandKind::HELP) {
        command.helpTopic = arguments.size() > 1 ? arguments[1] : "";
        const CommandEntry* topic = FindCommand(command.helpTopic);
        if (!command.helpTopic.empty() && (topic == nullptr || topic->operands == nullptr))
            throw UsageError("no help on " + command.helpTopic + "; commands are " + CommandNames());
        return command;
    }
    command.kind = entry->kind;
    if (const char* config = std::getenv("OCIO")) command.colourConfig = config;
    std::vector<std::string> operands;
    if (!ParseOptions(name, {arguments.begin() + 1, arguments.end()}, entry->options(command), operands)) {
        Command help;
        help.helpTopic = name;
        return help;
    }
    entry->finish(command, operands);
    return command;
}

std::string HelpText(const std::string& topic)
{
    const CommandEntry* entry = FindCommand(topic);
    if (entry == nullptr || entry->operands == nullptr) {
        std::string text = "deepglass - " + std::string(TOOL_SUMMARY) + "\n\nUsage:\n";
        for (const CommandEntry& listed : CommandTable())
            text += HelpRow("deepglass " + std::string(listed.synopsis), listed.summary, COMMAND_LIST_LAYOUT);
        return text + "\n" + TOOL_DESCRIPTION + "\n" + ToolModuleText() +
               "\nExit status: " + TOOL_EXIT_STATUS;
    }
    Command unbound;
    const std::vector<Option> options = entry->options(unbound);
    return "Usage: deepglass " + UsageLine(*entry) + "\n\n" + entry->description +
           OptionHelp(options, entry->layout) + entry->epilogue;
}

} // namespace deepglass
