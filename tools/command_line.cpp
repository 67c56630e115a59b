#include "command_line.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>

#include "filter_record.h"
#include "tool_error.h"

namespace {

struct OptionSpec {
    std::vector<std::string> names; // "-o", "--output"
    bool takesValue = true;
    std::function<void(const std::string&)> take;
};

// Splits a command's arguments into options (by the table) and the remaining operands. "--help"
// anywhere asks for the command's help; "--" ends the options.
bool ParseOptions(const std::string& command, const std::vector<std::string>& arguments, std::size_t start,
                  const std::vector<OptionSpec>& specs, std::vector<std::string>& operands)
{
    bool optionsEnded = false;
    for (std::size_t i = start; i < arguments.size(); ++i) {
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
        const OptionSpec* found = nullptr;
        for (const OptionSpec& spec : specs)
            for (const std::string& spelling : spec.names)
                if (spelling == name) found = &spec;
        if (found == nullptr)
            throw UsageError("unknown option " + name + " for " + command + " (see deepglass " + command +
                             " --help)");
        if (!found->takesValue) {
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

int WholeNumber(const std::string& option, const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < std::numeric_limits<int>::min() ||
        value > std::numeric_limits<int>::max())
        throw UsageError(option + " " + text + ": not a whole number");
    return static_cast<int>(value);
}

std::int32_t ModeOf(const std::string& text)
{
    if (text == "whole") return MODE_WHOLE_IMAGE;
    if (text == "material") return MODE_MATERIAL_ID;
    if (text == "object") return MODE_OBJECT_ID;
    throw UsageError("unknown mode " + text + ": use --mode whole, material or object");
}

OutputFormat FormatOf(const std::string& text)
{
    if (text == "png") return OutputFormat::PNG;
    if (text == "exr") return OutputFormat::EXR;
    throw UsageError("unknown format " + text + ": use --format png or exr");
}

bool EndsWith(const std::string& text, const std::string& end)
{
    if (text.size() < end.size()) return false;
    for (std::size_t i = 0; i < end.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + i])) != end[i])
            return false;
    return true;
}

void CheckApply(ApplyOptions& options)
{
    if (options.inputs.empty() && options.saveConfigPath.empty())
        throw UsageError("apply needs at least one INPUT.exr (see deepglass apply --help)");
    if (!options.configPath.empty() && (options.mode || options.id))
        throw UsageError("--config takes the mode and IDs from the record; give it without --mode and --id");
    const std::int32_t mode = options.mode.value_or(MODE_WHOLE_IMAGE);
    if (options.id) {
        if (mode == MODE_WHOLE_IMAGE)
            throw UsageError("--id selects pixels in --mode material or object; the whole mode takes no ID");
        const bool material = mode == MODE_MATERIAL_ID;
        const int low = material ? MATERIAL_ID_MIN : OBJECT_ID_MIN;
        const int high = material ? MATERIAL_ID_MAX : OBJECT_ID_MAX;
        if (*options.id < low || *options.id > high)
            throw UsageError("--id " + std::to_string(*options.id) +
                             " is out of range: " + (material ? "material-effects IDs" : "object IDs") +
                             " run from " + std::to_string(low) + " to " + std::to_string(high));
    }
    // Several inputs go into a folder; a single input's output is a file unless it names a folder.
    if (!options.output.empty()) {
        const bool looksLikeFile = EndsWith(options.output, ".png") || EndsWith(options.output, ".exr");
        options.outputIsFolder = options.inputs.size() > 1 || options.output.back() == '/' ||
                                 std::filesystem::is_directory(options.output);
        if (options.outputIsFolder && looksLikeFile && !std::filesystem::is_directory(options.output))
            throw UsageError("several inputs are written into a folder, but -o " + options.output +
                             " looks like a file name");
        if (!options.outputIsFolder) {
            if (!looksLikeFile)
                throw UsageError("the output " + options.output +
                                 " must end in .png or .exr (or name a folder, ending in /)");
            const OutputFormat named =
                EndsWith(options.output, ".png") ? OutputFormat::PNG : OutputFormat::EXR;
            if (options.format && *options.format != named)
                throw UsageError("--format does not match the output name " + options.output);
            options.format = named;
        }
    }
    if (options.opaque && options.format == OutputFormat::EXR)
        throw UsageError("--opaque is for PNG output; an EXR output keeps the filter's alpha");
}

} // namespace

Command ParseCommandLine(const std::vector<std::string>& arguments)
{
    Command command;
    if (arguments.empty() || arguments[0] == "--help" || arguments[0] == "-h") return command;
    const std::string& name = arguments[0];
    if (name == "help") {
        command.helpTopic = arguments.size() > 1 ? arguments[1] : "";
        if (!command.helpTopic.empty() && command.helpTopic != "apply" && command.helpTopic != "info" &&
            command.helpTopic != "sample" && command.helpTopic != "demo")
            throw UsageError("no help on " + command.helpTopic +
                             "; commands are apply, info, sample and demo");
        return command;
    }

    std::vector<std::string> operands;
    auto help = [&] {
        command.kind = CommandKind::HELP;
        command.helpTopic = name;
        return command;
    };
    std::vector<OptionSpec> channelSpecs;
    auto addChannelSpecs = [&](ChannelNames& names) {
        channelSpecs = {{{"--depth"}, true, [&names](const std::string& v) { names.depth = v; }},
                        {{"--material"}, true, [&names](const std::string& v) { names.material = v; }},
                        {{"--object"}, true, [&names](const std::string& v) { names.object = v; }}};
    };

    if (name == "--version") {
        command.kind = CommandKind::VERSION;
        const std::vector<OptionSpec> specs = {
            {{"--module"}, true, [&](const std::string& v) { command.modulePath = v; }}};
        if (!ParseOptions(name, arguments, 1, specs, operands)) return help();
        if (!operands.empty()) throw UsageError("--version takes no operands");
        return command;
    }
    if (name == "apply") {
        command.kind = CommandKind::APPLY;
        ApplyOptions& options = command.apply;
        addChannelSpecs(options.names);
        std::vector<OptionSpec> specs = {
            {{"-o", "--output"}, true, [&](const std::string& v) { options.output = v; }},
            {{"--format"}, true, [&](const std::string& v) { options.format = FormatOf(v); }},
            {{"--mode"}, true, [&](const std::string& v) { options.mode = ModeOf(v); }},
            {{"--id"}, true, [&](const std::string& v) { options.id = WholeNumber("--id", v); }},
            {{"--config"}, true, [&](const std::string& v) { options.configPath = v; }},
            {{"--save-config"}, true, [&](const std::string& v) { options.saveConfigPath = v; }},
            {{"--module"}, true, [&](const std::string& v) { options.modulePath = v; }},
            {{"--background"}, true, [&](const std::string& v) { options.background = ParseBackground(v); }},
            {{"--opaque"}, false, [&](const std::string&) { options.opaque = true; }}};
        specs.insert(specs.end(), channelSpecs.begin(), channelSpecs.end());
        if (!ParseOptions(name, arguments, 1, specs, options.inputs)) return help();
        CheckApply(options);
        return command;
    }
    if (name == "info") {
        command.kind = CommandKind::INFO;
        InfoOptions& options = command.info;
        addChannelSpecs(options.names);
        std::vector<OptionSpec> specs = {
            {{"--background"}, true, [&](const std::string& v) { options.background = ParseBackground(v); }}};
        specs.insert(specs.end(), channelSpecs.begin(), channelSpecs.end());
        if (!ParseOptions(name, arguments, 1, specs, options.inputs)) return help();
        if (options.inputs.empty())
            throw UsageError("info needs at least one INPUT.exr (see deepglass info --help)");
        return command;
    }
    if (name == "sample") {
        command.kind = CommandKind::SAMPLE;
        SampleOptions& options = command.sample;
        const std::vector<OptionSpec> specs = {
            {{"--width"}, true, [&](const std::string& v) { options.width = WholeNumber("--width", v); }},
            {{"--height"}, true, [&](const std::string& v) { options.height = WholeNumber("--height", v); }}};
        if (!ParseOptions(name, arguments, 1, specs, operands)) return help();
        if (operands.size() != 1)
            throw UsageError("sample needs one OUTPUT.exr (see deepglass sample --help)");
        if (!EndsWith(operands[0], ".exr"))
            throw UsageError("sample writes an EXR file: give a name ending in .exr");
        for (int side : {options.width, options.height})
            if (side < 1 || side > 65535)
                throw UsageError("the sample frame's sides run from 1 to 65535 pixels");
        options.output = operands[0];
        return command;
    }
    if (name == "demo") {
        command.kind = CommandKind::DEMO;
        DemoOptions& options = command.demo;
        const std::vector<OptionSpec> specs = {
            {{"--module"}, true, [&](const std::string& v) { options.modulePath = v; }}};
        if (!ParseOptions(name, arguments, 1, specs, operands)) return help();
        if (operands.size() > 1) throw UsageError("demo takes at most one FOLDER");
        if (!operands.empty()) options.folder = operands[0];
        return command;
    }
    throw UsageError("unknown command " + name +
                     "; commands are apply, info, sample and demo (see deepglass --help)");
}
