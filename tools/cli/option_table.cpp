#include "cli/option_table.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "base/list_text.h"
#include "base/tool_error.h"

namespace deepglass {

namespace {

std::string Spelling(const Option& option)
{
    const std::string text = ListText(option.names);
    return option.value != nullptr ? text + " " + option.value : text;
}

const Option* Find(const std::vector<Option>& options, const std::string& name)
{
    for (const Option& option : options)
        for (const std::string& spelling : option.names)
            if (spelling == name) return &option;
    return nullptr;
}

} // namespace

bool ParseOptions(const std::string& command, const std::vector<std::string>& arguments,
                  const std::vector<Option>& options, std::vector<std::string>& operands)
{
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            operands.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") return false;
        const std::size_t equals = argument.find('=');
        const std::string name = argument.rfind("--", 0) == 0 ? argument.substr(0, equals) : argument;
        const Option* found = Find(options, name);
        // A short option's value may follow it without a space: -j2, -ogrey.png.
        if (found == nullptr && argument[1] != '-') {
            const Option* attached = Find(options, argument.substr(0, 2));
            if (attached != nullptr && attached->value != nullptr) {
                attached->take(argument.substr(2));
                continue;
            }
        }
        if (found == nullptr)
            throw UsageError("unknown option " + name + " for " + command + " (see deepglass " + command +
                             " --help)");
        if (found->value == nullptr) {
            if (equals != std::string::npos) throw UsageError("option " + name + " takes no value");
            found->take("");
        } else if (equals != std::string::npos && name.size() == equals) {
            found->take(argument.substr(equals + 1));
        } else if (i + 1 < arguments.size()) {
            found->take(arguments[++i]);
        } else {
            throw UsageError("option " + name + " needs a value (see deepglass " + command + " --help)");
        }
    }
    return true;
}

int ParseWholeNumber(const std::string& option, const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < std::numeric_limits<int>::min() ||
        value > std::numeric_limits<int>::max())
        throw UsageError(option + " " + text + ": not a whole number");
    return static_cast<int>(value);
}

std::string HelpRow(const std::string& left, const std::string& help, const HelpLayout& layout)
{
    std::string row = "  " + left;
    if (row.size() + 2 <= layout.column)
        row.resize(layout.column, ' ');
    else if (layout.wrap)
        row += "\n" + std::string(layout.column, ' ');
    else
        row += "   ";
    for (char c : help) row += c == '\n' ? "\n" + std::string(layout.column, ' ') : std::string(1, c);
    return row + "\n";
}

std::string OptionHelp(const std::vector<Option>& options, const HelpLayout& layout)
{
    std::string text;
    std::string shared; // options shown on the row of the next one
    for (const Option& option : options) {
        if (option.heading != nullptr)
            text += "\n" + (*option.heading ? std::string(option.heading) + ":\n" : "");
        if (option.help == nullptr) {
            shared += Spelling(option) + ", ";
            continue;
        }
        if (*option.help != '\0') text += HelpRow(shared + Spelling(option), option.help, layout);
        shared.clear();
        if (option.note == nullptr) continue;
        std::string line;
        for (const char* c = option.note;; ++c) {
            if (*c != '\n' && *c != '\0') {
                line += *c;
                continue;
            }
            text += line.empty() ? "\n" : "  " + line + "\n";
            line.clear();
            if (*c == '\0') break;
        }
    }
    return text;
}

std::string UsageOptions(const std::vector<Option>& options)
{
    std::string text;
    for (const Option& option : options) {
        if (option.help == nullptr || *option.help != '\0') return "[options]";
        text += (text.empty() ? "[" : " [") + Spelling(option) + "]";
    }
    return text;
}

} // namespace deepglass
