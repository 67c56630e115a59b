// A command's options as one table: each row says how an option is spelled, the value it takes,
// what it does and what it sets. The parser and the help text are both made from the rows.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace deepglass {

struct Option {
    std::vector<std::string> names; // "-o", "--output"
    const char* value = nullptr;    // the value's name in help ("PATH"); null for a switch
    // Help lines (split at '\n'); null: shown on one row with the next option, which describes
    // both; "": no row of its own, the option is spelled out in the usage line instead.
    const char* help = nullptr;
    std::function<void(const std::string& value)> take;
    // Text around the row: a block of options begins after a blank line, under its heading when
    // that is not empty; a note follows the row, each line indented as the rows.
    const char* heading = nullptr;
    const char* note = nullptr;
};

// Where option help starts; a left part too long for that column puts the help on the next line
// when `wrap`, else three spaces after it (column 0: always three spaces after it).
struct HelpLayout {
    std::size_t column = 0;
    bool wrap = false;
};

// Splits a command's arguments into options (by the table) and operands. Answers false when
// "--help" or "-h" asks for the command's help; "--" ends the options. A UsageError for an
// unknown option or a missing or unwanted value.
bool ParseOptions(const std::string& command, const std::vector<std::string>& arguments,
                  const std::vector<Option>& options, std::vector<std::string>& operands);

// A whole number within int for `option`; a UsageError otherwise.
int ParseWholeNumber(const std::string& option, const std::string& text);

// "  LEFT   help..." as laid out by `layout`, ending in a newline.
std::string HelpRow(const std::string& left, const std::string& help, const HelpLayout& layout);
// The help rows, headings and notes of a table.
std::string OptionHelp(const std::vector<Option>& options, const HelpLayout& layout);
// "[--width W] [--height H]" for the options with no row of their own, or "[options]" if any has one.
std::string UsageOptions(const std::vector<Option>& options);

} // namespace deepglass
