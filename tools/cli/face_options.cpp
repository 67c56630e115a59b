#include "cli/face_options.h"

#include "cli/command_table.h"

namespace deepglass {

namespace {

const CommandEntry& FaceCommand(const std::string& command)
{
    const CommandEntry* entry = FindCommand(command);
    if (entry == nullptr || (entry->kind != CommandKind::APPLY && entry->kind != CommandKind::INFO &&
                             entry->kind != CommandKind::DEPTH))
        throw UsageError("no command " + command + " takes options from another face");
    return *entry;
}

} // namespace

std::vector<FaceOptionRow> FaceOptionRows(const std::string& command)
{
    Command unbound;
    std::vector<FaceOptionRow> rows;
    const std::vector<Option> table = FaceCommand(command).options(unbound);
    for (std::size_t i = 0; i < table.size(); ++i) {
        const Option& option = table[i];
        // Rows without help of their own share the next row's.
        std::size_t described = i;
        while (table[described].help == nullptr && described + 1 < table.size()) ++described;
        rows.push_back({option.names.back().substr(2), option.value != nullptr,
                        option.value != nullptr ? option.value : "",
                        table[described].help != nullptr ? table[described].help : ""});
    }
    return rows;
}

Command ParseFaceCommand(const std::string& command, const std::vector<FaceOption>& options,
                         std::vector<std::string> operands, const std::string& colourConfig)
{
    const CommandEntry& entry = FaceCommand(command);
    Command parsed;
    parsed.kind = entry.kind;
    parsed.colourConfig = colourConfig;
    // Each value goes through its own row of the table, so that a refusal names its option.
    std::vector<Option> table = entry.options(parsed);
    for (const auto& [name, value] : options) {
        const Option* row = nullptr;
        for (const Option& candidate : table)
            if (candidate.names.back() == "--" + name) row = &candidate;
        if (row == nullptr) throw FaceUsageError("unknown option " + name + " for " + command, name);
        if ((row->value != nullptr) != value.has_value())
            throw FaceUsageError(
                value ? "option --" + name + " takes no value" : "option --" + name + " needs a value", name);
        try {
            row->take(value.value_or(""));
        } catch (const UsageError& error) {
            throw FaceUsageError(error.what(), name);
        }
    }
    try {
        entry.finish(parsed, operands);
    } catch (const UsageError& error) {
        throw FaceUsageError(error.what(), "");
    }
    return parsed;
}

} // namespace deepglass
