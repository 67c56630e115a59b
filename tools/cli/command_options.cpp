#include "cli/command_options.h"

#include <cstdlib>

#include "base/tool_error.h"
#include "cli/option_checks.h"
#include "cli/option_values.h"
#include "shot/frame_pattern.h"
#include "shot/shot_plan.h"

namespace deepglass {

std::vector<Option> InfoTable(Command& command)
{
    InfoOptions& o = command.info;
    return {{{"--background"},
             "auto|none|alpha|depth:V",
             "count the pixels as apply would hand them to the filter (default auto)",
             [&o](const std::string& v) { o.background = ParseBackground(v); },
             ""},
            {{"--frames"},
             "LIST",
             "the frames of a pattern INPUT (shot.%04d.exr), as apply takes them",
             [&o](const std::string& v) { o.frames = ParseFrameRange(v); }},
            {{"--plot"},
             "FILE.png",
             "a chart of each frame's depth range (of one frame: its depths)",
             [&o](const std::string& v) { o.plotPath = v; }},
            {{"--range"},
             "shot|NEAR:FAR",
             "draw over the chart the one scale apply --range would use",
             [&o](const std::string& v) { ParseRange(v, o.range); }},
            {{"--clip"},
             "LOW:HIGH",
             "also tell the scale's ends at these percentiles, as apply --clip takes them",
             [&o](const std::string& v) { o.range.clip = ParseClip(v); }},
            {{"--curve"},
             "linear|inverse",
             "check the shot's range against apply --curve (inverse needs a nearest depth above 0)",
             [&o](const std::string& v) { o.range.curve = ParseCurve(v); }},
            {{"--colour"},
             "auto|srgb|linear|DISPLAY/VIEW",
             "tell the transform apply --colour would give the ID modes' kept colour in PNG pictures "
             "(default auto)",
             [&o](const std::string& v) { o.colour = ParseColour(v); }},
            {{"--view"},
             "NAME|all",
             "the view to describe (default: the file's default view); all: each",
             [&o](const std::string& v) { o.view = v; }},
            {{"--layer"}, "NAME", nullptr, [&o](const std::string& v) { o.names.layer = v; }},
            {{"--depth"}, "NAME", nullptr, [&o](const std::string& v) { o.names.depth = v; }},
            {{"--material"}, "NAME", nullptr, [&o](const std::string& v) { o.names.material = v; }},
            {{"--object"},
             "NAME",
             "the channels to take, as apply takes them (default: found)",
             [&o](const std::string& v) { o.names.object = v; }},
            {{"--max-memory"},
             "SIZE",
             "the memory reading a frame may take, as apply takes it (default: half of this machine's)",
             [&o](const std::string& v) { o.maxMemory = ParseMemorySize(v); }}};
}

void FinishInfo(Command& command, std::vector<std::string>& operands)
{
    command.info.inputs = std::move(operands);
    if (command.info.inputs.empty())
        throw UsageError("info needs at least one INPUT.exr (see deepglass info --help)");
    CheckShotInputs(command.info.inputs, command.info.frames);
    CheckRangeChoice(command.info.range);
    if (!command.info.plotPath.empty() && !HasExtension(command.info.plotPath, ".png"))
        throw UsageError("the chart " + command.info.plotPath + " is a PNG: give a name ending in .png");
    // A config $OCIO names but that cannot be used stops info only when --colour asks for it: the
    // frames are still described, and the transform line says what is wrong.
    try {
        command.info.display = ResolveColour(command.info.colour, std::getenv("OCIO"));
    } catch (const UsageError& error) {
        if (command.info.colour.kind != ColourChoice::Kind::AUTO) throw;
        command.info.colourProblem = error.what();
    }
}

std::vector<Option> DepthTable(Command& command)
{
    DepthOptions& o = command.depth;
    return {{{"-o", "--output"},
             "PATH",
             "the EXR frame for one picture; for several a folder (created if\n"
             "missing) holding NAME.exr for each NAME.png, or a pattern with\n"
             "--frames (depth.%04d.exr). Default: each frame beside its picture.",
             [&o](const std::string& v) { o.output.path = v; }},
            {{"--frames"},
             "LIST",
             "the frames of a pattern PICTURE (grey.%04d.png), as apply takes them",
             [&o](const std::string& v) { o.frames = ParseFrameRange(v); }},
            {{"--level-zero"},
             "far|empty",
             "what level 0 becomes: far (default), the scale's far end; empty,\n"
             "nothing rendered (depth -1e30, as the host writes it)",
             [&o](const std::string& v) { o.levelZeroEmpty = ParseLevelZero(v); }},
            {{"--range"},
             "NEAR:FAR",
             "the scale the greys stand for, in place of what the pictures say",
             [&o](const std::string& v) {
                 RangeChoice range;
                 ParseRange(v, range);
                 if (range.kind != RangeChoice::Kind::FIXED)
                     throw UsageError("depth --range " + v + ": give the scale as NEAR:FAR");
                 o.scale = range.scale;
             }},
            {{"--curve"},
             "linear|inverse",
             "the curve between the scale's ends, in place of what the pictures say;\n"
             "with --range, pictures without a depth mapping can be read",
             [&o](const std::string& v) { o.curve = ParseCurve(v); }},
            {{"--max-memory"},
             "SIZE",
             "the memory reading one picture back may take (default: half of this\n"
             "machine's)",
             [&o](const std::string& v) { o.maxMemory = ParseMemorySize(v); }}};
}

void FinishDepth(Command& command, std::vector<std::string>& operands)
{
    DepthOptions& options = command.depth;
    options.inputs = std::move(operands);
    if (options.inputs.empty())
        throw UsageError("depth needs at least one PICTURE.png (see deepglass depth --help)");
    CheckShotInputs(options.inputs, options.frames);
    if (HasFramePattern(options.output.path))
        ResolvePatternOutput(options.output, OutputFormat::EXR);
    else
        ResolveOutputTarget(options.output, OutputFormat::EXR,
                            ShotFrameCount(options.inputs, options.frames));
    if (options.output.format != OutputFormat::EXR)
        throw UsageError("depth writes EXR frames: give -o a name ending in .exr, or a folder");
}

void FinishSample(Command& command, std::vector<std::string>& operands)
{
    if (operands.size() != 1) throw UsageError("sample needs one OUTPUT.exr (see deepglass sample --help)");
    if (!HasExtension(operands[0], ".exr"))
        throw UsageError("sample writes an EXR file: give a name ending in .exr");
    for (int side : {command.sample.width, command.sample.height})
        if (side < 1 || side > 65535) throw UsageError("the sample frame's sides run from 1 to 65535 pixels");
    command.sample.output = operands[0];
}

std::vector<Option> SampleTable(Command& command)
{
    SampleOptions& o = command.sample;
    return {
        {{"--width"}, "W", "", [&o](const std::string& v) { o.width = ParseWholeNumber("--width", v); }},
        {{"--height"}, "H", "", [&o](const std::string& v) { o.height = ParseWholeNumber("--height", v); }},
        {{"--cryptomatte"}, nullptr, "", [&o](const std::string&) { o.cryptomatte = true; }}};
}

std::vector<Option> DemoTable(Command& command)
{
    return {{{"--module"}, "PATH", "", [&command](const std::string& v) { command.demo.modulePath = v; }}};
}

void FinishDemo(Command& command, std::vector<std::string>& operands)
{
    if (operands.size() > 1) throw UsageError("demo takes at most one FOLDER");
    if (!operands.empty()) command.demo.folder = operands[0];
}

std::vector<Option> VersionTable(Command& command)
{
    return {{{"--module"}, "PATH", "", [&command](const std::string& v) { command.modulePath = v; }}};
}

void FinishVersion(Command&, std::vector<std::string>& operands)
{
    if (!operands.empty()) throw UsageError("--version takes no operands");
}

} // namespace deepglass
