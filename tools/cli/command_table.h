// The tool's commands as one table: their names, the tool's list of commands, and for each its
// option table, its help and the checks of what was parsed.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/option_table.h"

namespace deepglass {

struct CommandEntry {
    const char* name;
    CommandKind kind;
    const char* synopsis; // after "deepglass" in the tool's list of commands
    const char* summary;  // what that list says of it (lines split at '\n')
    // After the options in the command's usage line; null for a command without help of its own.
    const char* operands = nullptr;
    const char* description = ""; // between the usage line and the options
    const char* epilogue = "";    // after the options
    HelpLayout layout{};
    // The option table, bound to the command being parsed.
    std::function<std::vector<Option>(Command&)> options = [](Command&) { return std::vector<Option>{}; };
    // Checks what was parsed and takes the operands; a UsageError for what it cannot follow.
    std::function<void(Command&, std::vector<std::string>& operands)> finish = [](Command&, auto&) {};
};

// In the order the tool's help lists them.
const std::vector<CommandEntry>& CommandTable();
// The command with this name, or null.
const CommandEntry* FindCommand(const std::string& name);
// What follows "deepglass" in a command's usage line: its name, the options without a help row of
// their own (or "[options]") and its operands; the synopsis for a command without help of its own.
std::string UsageLine(const CommandEntry& entry);

// The tool's help around its list of commands, and the man page's sections of the same.
extern const char* const TOOL_SUMMARY;     // after "deepglass - "
extern const char* const TOOL_DESCRIPTION; // what the filter does to a frame
extern const char* const TOOL_EXIT_STATUS; // after "Exit status: "
// Where the module is looked for.
std::string ToolModuleText();

} // namespace deepglass
