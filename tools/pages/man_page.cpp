#include "pages/man_page.h"

#include <vector>

#include "base/list_text.h"
#include "cli/command_table.h"
#include "deepglass_interface.h"
#include "module/filter_runner.h"

namespace deepglass {

namespace {

// Text as roff prints it: backslashes and hyphens escaped (a plain "-" may print as a hyphen that
// cannot be typed back), and a line that would read as a request protected.
std::string Escaped(const std::string& line)
{
    std::string text;
    if (!line.empty() && (line[0] == '.' || line[0] == '\'')) text = "\\&";
    for (char c : line) {
        if (c == '\\')
            text += "\\e";
        else if (c == '-')
            text += "\\-";
        else
            text += c;
    }
    return text;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c != '\n') {
            line += c;
            continue;
        }
        lines.push_back(line);
        line.clear();
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// A block of help text: roff fills the lines of a paragraph again; a blank line starts another and
// indented lines (examples) are kept as they are.
std::string Paragraphs(const std::string& text)
{
    std::string roff;
    bool example = false;
    for (const std::string& line : Lines(text)) {
        const bool indented = line.rfind("  ", 0) == 0;
        if (indented != example) roff += indented ? ".RS 4\n.nf\n" : ".fi\n.RE\n";
        example = indented;
        if (line.empty())
            roff += ".PP\n";
        else
            roff += Escaped(indented ? line.substr(2) : line) + "\n";
    }
    if (example) roff += ".fi\n.RE\n";
    return roff;
}

// "-o, --output PATH" with the names in bold and the value's name in italics.
std::string Tag(const Option& option)
{
    std::vector<std::string> names;
    for (const std::string& name : option.names) names.push_back("\\fB" + Escaped(name) + "\\fR");
    std::string tag = ListText(names);
    if (option.value != nullptr) tag += " \\fI" + Escaped(option.value) + "\\fR";
    return tag;
}

// The rows of an option table as tagged paragraphs, with the help's headings and notes.
std::string Options(const std::vector<Option>& options)
{
    std::string roff;
    std::string shared; // options described on the row of the next one
    for (const Option& option : options) {
        if (option.heading != nullptr && *option.heading != '\0')
            roff += ".PP\n\\fI" + Escaped(option.heading) + "\\fR\n";
        if (option.help == nullptr) {
            shared += Tag(option) + ", ";
            continue;
        }
        if (*option.help != '\0') roff += ".TP\n" + shared + Tag(option) + "\n" + Paragraphs(option.help);
        shared.clear();
        if (option.note != nullptr) roff += ".PP\n" + Paragraphs(option.note);
    }
    return roff;
}

std::string CommandSection(const CommandEntry& entry)
{
    if (entry.operands == nullptr)
        return ".TP\n\\fBdeepglass " + Escaped(entry.synopsis) + "\\fR\n" + Paragraphs(entry.summary);
    Command unbound;
    return ".SS " + Escaped(entry.name) + "\n.B deepglass " + Escaped(UsageLine(entry)) + "\n.PP\n" +
           Paragraphs(entry.description) + Options(entry.options(unbound)) + Paragraphs(entry.epilogue);
}

} // namespace

std::string ManPage()
{
    // No hyphenation and a ragged right edge: options and file names stay whole and as typed.
    std::string roff =
        ".TH DEEPGLASS 1 \"\" \"deepglass " DEEPGLASS_VERSION_NUMBER "\" \"User Commands\"\n.nh\n.ad l\n";
    roff += ".SH NAME\ndeepglass \\- " + Escaped(TOOL_SUMMARY) + "\n.SH SYNOPSIS\n";
    for (const CommandEntry& entry : CommandTable())
        roff += ".B deepglass " + Escaped(UsageLine(entry)) + "\n.br\n";
    roff += ".SH DESCRIPTION\n" + Paragraphs(TOOL_DESCRIPTION) + ".SH COMMANDS\n";
    for (const CommandEntry& entry : CommandTable())
        if (entry.operands != nullptr) roff += CommandSection(entry);
    roff += ".SS Other commands\n";
    for (const CommandEntry& entry : CommandTable())
        if (entry.operands == nullptr) roff += CommandSection(entry);
    roff += ".SH ENVIRONMENT\n.TP\n.B " + Escaped(MODULE_ENVIRONMENT_VARIABLE) +
            "\nthe plug\\-in module to load where \\fB\\-\\-module\\fR names none (see FILES)\n";
    roff += ".SH FILES\n" + Paragraphs(ToolModuleText());
    roff += ".SH EXIT STATUS\n" + Paragraphs(TOOL_EXIT_STATUS);
    return roff;
}

} // namespace deepglass
