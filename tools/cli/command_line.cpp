#include "cli/command_line.h"

#include "base/tool_error.h"
#include "cli/command_table.h"

namespace {

// Where the summaries start in the tool's list of commands.
constexpr HelpLayout COMMAND_LIST_LAYOUT{43, false};

// "apply, info, sample and demo": the commands with help of their own.
std::string CommandNames()
{
    std::vector<std::string> names;
    for (const CommandSpec& spec : CommandTable())
        if (spec.operands != nullptr) names.push_back(spec.name);
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
    const CommandSpec* spec = FindCommand(name);
    if (spec == nullptr)
        throw UsageError("unknown command " + name + "; commands are " + CommandNames() +
                         " (see deepglass --help)");
    if (spec->kind == CommandKind::HELP) {
        command.helpTopic = arguments.size() > 1 ? arguments[1] : "";
        const CommandSpec* topic = FindCommand(command.helpTopic);
        if (!command.helpTopic.empty() && (topic == nullptr || topic->operands == nullptr))
            throw UsageError("no help on " + command.helpTopic + "; commands are " + CommandNames());
        return command;
    }
    command.kind = spec->kind;
    std::vector<std::string> operands;
    if (!ParseOptions(name, {arguments.begin() + 1, arguments.end()}, spec->options(command), operands)) {
        Command help;
        help.helpTopic = name;
        return help;
    }
    spec->finish(command, operands);
    return command;
}

std::string HelpText(const std::string& topic)
{
    const CommandSpec* spec = FindCommand(topic);
    if (spec == nullptr || spec->operands == nullptr) {
        std::string text = "deepglass - " + std::string(TOOL_SUMMARY) + "\n\nUsage:\n";
        for (const CommandSpec& listed : CommandTable())
            text += HelpRow("deepglass " + std::string(listed.synopsis), listed.summary, COMMAND_LIST_LAYOUT);
        return text + "\n" + TOOL_DESCRIPTION + "\n" + ToolModuleText() +
               "\nExit status: " + TOOL_EXIT_STATUS;
    }
    Command unbound;
    const std::vector<Option> options = spec->options(unbound);
    return "Usage: deepglass " + UsageLine(*spec) + "\n\n" + spec->description +
           OptionHelp(options, spec->layout) + spec->epilogue;
}
