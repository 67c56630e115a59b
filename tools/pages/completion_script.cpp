#include "pages/completion_script.h"

#include <vector>

#include "base/list_text.h"
#include "cli/command_table.h"

namespace deepglass {

namespace {

// The words of a value's name that are typed as they stand: "png|exr" gives png and exr,
// "frame|shot|NEAR:FAR" frame and shot; a name in capitals (NEAR:FAR, depth:V) stands for a value.
std::vector<std::string> FixedValues(const std::string& value)
{
    std::vector<std::string> words;
    std::string word;
    for (std::size_t i = 0; i <= value.size(); ++i) {
        if (i < value.size() && value[i] != '|') {
            word += value[i];
            continue;
        }
        bool plain = !word.empty();
        for (char c : word) plain = plain && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-');
        if (plain) words.push_back(word);
        word.clear();
    }
    return words;
}

bool NamesAFile(const std::string& value)
{
    return value.find("FILE") != std::string::npos || value.find("PATH") != std::string::npos;
}

std::string Words(const std::string& words)
{
    return "mapfile -t COMPREPLY < <(compgen -W '" + words + "' -- \"$cur\")";
}

// One command's branch: its options, then what each option's value and the operands complete to.
std::string CommandBranch(const CommandEntry& entry)
{
    Command unbound;
    const std::vector<Option> options = entry.options(unbound);
    std::vector<std::string> names;
    std::string values;
    std::vector<std::string> files, free;
    for (const Option& option : options) {
        names.insert(names.end(), option.names.begin(), option.names.end());
        if (option.value == nullptr) continue;
        const std::string pattern = ListText(option.names, " | ");
        if (NamesAFile(option.value))
            files.push_back(pattern);
        else if (const std::vector<std::string> fixed = FixedValues(option.value); !fixed.empty())
            values += "        " + pattern + ") " + Words(ListText(fixed, " ")) + "; return ;;\n";
        else
            free.push_back(pattern);
    }
    if (entry.operands != nullptr) names.push_back("--help");
    std::string branch =
        "    " + std::string(entry.name) + ")\n        options='" + ListText(names, " ") + "'\n";
    if (!values.empty() || !files.empty() || !free.empty()) {
        branch += "        case $prev in\n" + values;
        if (!files.empty()) branch += "        " + ListText(files, " | ") + ") _deepglass_files; return ;;\n";
        if (!free.empty()) branch += "        " + ListText(free, " | ") + ") return ;;\n";
        branch += "        esac\n";
    }
    const std::string operands = entry.operands != nullptr ? entry.operands : "";
    if (operands.find(".exr") != std::string::npos)
        branch += "        operands=exr\n";
    else if (operands.find("FOLDER") != std::string::npos)
        branch += "        operands=folder\n";
    return branch + "        ;;\n";
}

} // namespace

std::string BashCompletion()
{
    std::vector<std::string> commands, helpTopics;
    std::string branches;
    for (const CommandEntry& entry : CommandTable()) {
        commands.push_back(entry.name);
        if (entry.operands != nullptr) helpTopics.push_back(entry.name);
        if (entry.kind != CommandKind::HELP) branches += CommandBranch(entry);
    }
    commands.push_back("--help");
    return "# bash completion for deepglass: its commands, their options and the values these take. Made\n"
           "# from the tool's option tables when deepglass was built.\n"
           "\n"
           "_deepglass_files()\n"
           "{\n"
           "    mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n"
           "}\n"
           "\n"
           "_deepglass()\n"
           "{\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
           "    # bash splits --option=value into --option, = and value.\n"
           "    if [[ $cur == = ]]; then\n"
           "        cur=\n"
           "    elif [[ $prev == = ]]; then\n"
           "        prev=${COMP_WORDS[COMP_CWORD - 2]}\n"
           "    fi\n"
           "    COMPREPLY=()\n"
           "    if ((COMP_CWORD == 1)); then\n"
           "        " +
           Words(ListText(commands, " ")) +
           "\n"
           "        return\n"
           "    fi\n"
           "    local options= operands=\n"
           "    case ${COMP_WORDS[1]} in\n"
           "    help)\n"
           "        ((COMP_CWORD == 2)) && " +
           Words(ListText(helpTopics, " ")) +
           "\n"
           "        return\n"
           "        ;;\n" +
           branches +
           "    *) return ;;\n"
           "    esac\n"
           "    if [[ $cur == -* ]]; then\n"
           "        mapfile -t COMPREPLY < <(compgen -W \"$options\" -- \"$cur\")\n"
           "    elif [[ $operands == exr ]]; then\n"
           "        mapfile -t COMPREPLY < <(compgen -f -X '!*.exr' -- \"$cur\"; compgen -d -- \"$cur\")\n"
           "    elif [[ $operands == folder ]]; then\n"
           "        mapfile -t COMPREPLY < <(compgen -d -- \"$cur\")\n"
           "    fi\n"
           "}\n"
           "complete -o filenames -F _deepglass deepglass\n";
}

} // namespace deepglass
