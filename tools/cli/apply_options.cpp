#include "cli/command_options.h"

#include <cstdlib>

#include "base/tool_error.h"
#include "cli/option_checks.h"
#include "cli/option_values.h"
#include "deepglass_interface.h"
#include "shot/frame_pattern.h"
#include "shot/shot_plan.h"

namespace deepglass {

namespace {

// The --id help, with the IDs the control dialog's spinners can be set to.
const char* IdBoundsHelp()
{
    static const std::string help = "the material-effects ID (" + std::to_string(MATERIAL_ID_MIN) + ".." +
                                    std::to_string(MATERIAL_ID_MAX) + ") or object ID (" +
                                    std::to_string(OBJECT_ID_MIN) + ".." + std::to_string(OBJECT_ID_MAX) +
                                    "); default 1";
    return help.c_str();
}

} // namespace

std::vector<Option> ApplyTable(Command& command)
{
    ApplyOptions& o = command.apply;
    return {{{"-o", "--output"},
             "PATH",
             "the output file for one input (.png or .exr); for several inputs\n"
             "a folder (created if missing), holding NAME.png or NAME.exr for each\n"
             "NAME.exr. Default: each output beside its input.",
             [&o](const std::string& v) { o.output.path = v; },
             "Output"},
            {{"--format"},
             "png|exr",
             "the output format where PATH does not say it (default png)",
             [&command](const std::string& v) { command.format = ParseFormat(v); }},
            {{"--png"},
             "grey|rgba",
             "the PNG's channels: grey, one channel (the grey level, which is also\n"
             "the filter's alpha), the default in the whole mode, where every pixel\n"
             "is grey; rgba, the default in the ID modes, which keep the colour of\n"
             "the pixels they do not select",
             [&o](const std::string& v) { o.png = ParsePngKind(v); }},
            {{"--bits"},
             "8|16",
             "bits a PNG sample (default 16); 8 rounds each level to the nearest\n"
             "of 255 (level x 255 / 65535)",
             [&o](const std::string& v) { o.bits = ParseBits(v); }},
            {{"--png-compression"},
             "fast|default|small",
             "fast: about two thirds of the default's time for pictures about 1.1 x\n"
             "as large; small: about a tenth smaller in about 7 x the time",
             [&o](const std::string& v) { o.compression = ParsePngCompression(v); }},
            {{"--opaque"},
             nullptr,
             "write RGBA alpha as 65535, so that any viewer shows the grey picture\n"
             "(otherwise the filter's alpha, equal to the grey, is kept)",
             [&o](const std::string&) { o.opaque = true; },
             nullptr,
             "\nA PNG holds the frame's display window, the data window placed at its offset in it, pixels\n"
             "outside the data window black (transparent in RGBA unless --opaque). Depth maps are read as\n"
             "one grey channel by compositors and image generators, so a whole-mode picture is written so;\n"
             "nothing is lost, its alpha being its grey. Every frame of a sequence is written the same way;\n"
             "data outside the display window is left out. An EXR output is the input file with only the\n"
             "filtered view's colour changed, and only where the filter rewrote a pixel: every part, view,\n"
             "channel and attribute is kept, every other sample bit for bit in its stored type."},
            {{"--colour"},
             "auto|srgb|linear|DISPLAY/VIEW",
             "the colour the ID modes' PNG pictures keep: auto (default), $OCIO's\n"
             "default display and view where $OCIO names an OpenColorIO config,\n"
             "else srgb; srgb, the sRGB curve over the scene-linear colour; linear,\n"
             "the colour as stored; DISPLAY/VIEW, that display and view of $OCIO's\n"
             "config. The filter is handed the colour so transformed",
             [&o](const std::string& v) { o.colour = ParseColour(v); },
             nullptr,
             "Kept colour is un-premultiplied where alpha lies between 0 and 1 before its transform (PNG\n"
             "alpha is straight), and a picture of display-referred colour says so: an sRGB chunk, or an\n"
             "iCCP chunk holding the transform's tone curve where that is not the sRGB curve.\n"
             "Depth greys are data: whole-mode pictures and EXR outputs never pass through --colour."},
            {{"--mode"},
             "whole|material|object",
             "rewrite the whole frame (default), or only the pixels of one\n"
             "material-effects ID or of one object ID; other pixels keep their colour",
             [&o](const std::string& v) { o.filter.mode = ParseMode(v); },
             "Filter settings"},
            {{"--id"},
             "N",
             IdBoundsHelp(),
             [&o](const std::string& v) { o.filter.id = ParseWholeNumber("--id", v); }},
            {{"--matte"},
             "PATTERN",
             "select by name from a Cryptomatte layer: the pixels whose rank-0\n"
             "ID is a name PATTERN matches get the --id (default 1), all others 0.\n"
             "* stands for any run of characters, ? for one, \\ makes the next\n"
             "character plain. Repeatable; with --mode object or material",
             [&command](const std::string& v) { command.mattes.push_back(v); }},
            {{"--cryptomatte"},
             "NAME",
             "the Cryptomatte layer --matte selects from (default: the one whose\n"
             "name holds \"object\" or \"material\", after --mode)",
             [&o](const std::string& v) { o.matte.layer = v; }},
            {{"--config"},
             "FILE",
             "take the settings from a saved 16-byte configuration record",
             [&o](const std::string& v) { o.filter.configPath = v; }},
            {{"--save-config"},
             "FILE",
             "write the filter's configuration record (with no INPUT, only that)",
             [&o](const std::string& v) { o.filter.saveConfigPath = v; }},
            {{"--view"},
             "NAME|all",
             "the view of a stereo or multi-view file to filter (default: the\n"
             "file's default view); all: every view, each into OUTPUT.VIEW.png",
             [&o](const std::string& v) { o.view = v; },
             "Channels of the input"},
            {{"--layer"},
             "NAME",
             "the render layer whose channels to take where the file has several\n"
             "(NAME.Combined.R, NAME.Depth.Z, ...); \"\" for the plain channels",
             [&o](const std::string& v) { o.names.layer = v; }},
            {{"--depth"},
             "NAME",
             "depth channel, HALF or FLOAT (default: found, see below)",
             [&o](const std::string& v) { o.names.depth = v; }},
            {{"--material"},
             "NAME",
             "material-effects ID channel (default: found)",
             [&o](const std::string& v) { o.names.material = v; }},
            {{"--object"},
             "NAME",
             "object ID channel (default: found)",
             [&o](const std::string& v) { o.names.object = v; },
             nullptr,
             "Channels are found by their names: colour R, G, B, A, depth Z or depth.Z, IDs materialID and\n"
             "objectID; or in a render layer L: L.Combined.R, G, B, A, L.Depth.Z, L.IndexMA.X, L.IndexOB.X.\n"
             "ID channels may be UINT, or HALF or FLOAT holding whole numbers; a material-effects ID must\n"
             "fit in 8 bits and an object ID in 16 bits."},
            {{"--background"},
             "auto|none|alpha|depth:V",
             "which pixels are handed to the filter as empty background (the\n"
             "host's depth -1e30): auto (default), those of depth magnitude 1e10\n"
             "or more (infinity too) and those of depth 0 under alpha 0, as\n"
             "renderers mark where nothing was hit; none, everything as stored;\n"
             "alpha, the pixels with alpha 0; depth:V, the pixels whose depth is\n"
             "exactly V (for example depth:0, depth:1e10, depth:inf)",
             [&o](const std::string& v) { o.background = ParseBackground(v); },
             "Frames from other renderers",
             "A note says when the automatic rule takes pixels of a frame, and a hint is shown once when a\n"
             "frame's background still looks as if it needed this option."},
            {{"--range"},
             "frame|shot|NEAR:FAR",
             "the grey scale: frame (default), each frame from its own nearest to\n"
             "its own farthest depth; shot, one scale over every frame of the run,\n"
             "found by a first pass, so that a depth has the same grey in every\n"
             "frame; NEAR:FAR, that scale (depth magnitudes), nearer depths white\n"
             "and farther ones black, as info prints it for a shot split into tasks",
             [&o](const std::string& v) { ParseRange(v, o.range); },
             "Grey scale"},
            {{"--range-over"},
             "frame|selection",
             "in the ID modes, take the scale over the whole frame (default) or\n"
             "over the selected pixels alone, which then get the full grey scale",
             [&o](const std::string& v) { o.range.overSelection = ParseRangeOver(v); }},
            {{"--clip"},
             "LOW:HIGH",
             "the scale's ends at these percentiles of the depths taking part (0 to\n"
             "100, such as 1:99) rather than the nearest and farthest, so that a few\n"
             "stray pixels do not squeeze the rest; depths beyond them take the\n"
             "ends' greys. Per frame, or over the shot with --range shot",
             [&o](const std::string& v) { o.range.clip = ParseClip(v); }},
            {{"--curve"},
             "linear|inverse",
             "greys linear in depth (default), or in 1/depth, as depth models for\n"
             "image generators read it: (1/d - 1/FAR) / (1/NEAR - 1/FAR), near white",
             [&o](const std::string& v) { o.range.curve = ParseCurve(v); },
             nullptr,
             "The filter maps each frame it is handed from its own nearest depth to its own farthest. For\n"
             "another scale the tool hands it each frame with its depths clamped into the scale and a row\n"
             "below the frame holding the scale's two ends, which no output holds; unselected pixels are\n"
             "handed over as background for --range-over selection. For --curve inverse each depth is\n"
             "handed over as its place in 1/depth between the ends. Every grey is the filter's own."},
            {{"--frames"},
             "LIST",
             "the frames to filter: 1-100, 1-100x2 (every second), 1,5,9-12. An\n"
             "INPUT may then be a pattern, shot.%04d.exr or shot.####.exr, and so\n"
             "may -o (grey.%04d.png); plain INPUTs are kept when the last number in\n"
             "their name is in LIST. A frame missing from the disk is reported by\n"
             "its number and the others go on.",
             [&o](const std::string& v) { o.frames = ParseFrameRange(v); },
             "Shots"},
            {{"-j", "--jobs"},
             "N",
             "filter N frames at once, one filter each. Default: one a core, fewer\n"
             "when that many frames (sized from the first frame's header) would not\n"
             "fit in half of the memory. Pictures are the same whatever N.",
             [&o](const std::string& v) { o.jobs = ParseWholeNumber("--jobs", v); }},
            {{"--skip-existing"},
             nullptr,
             "leave a frame alone whose output exists (outputs appear only when\n"
             "complete, so an existing one is whole): an interrupted run resumes",
             [&o](const std::string&) { o.skipExisting = true; }},
            {{"--report"},
             "FILE.json",
             "write one entry a frame under \"frames\": frame, input, output,\n"
             "status (written, skipped, failed, missing), message, depth_range\n"
             "(nearest and farthest magnitude) and seconds",
             [&o](const std::string& v) { o.reportPath = v; }},
            {{"--max-memory"},
             "SIZE",
             "the memory the frames filtered at once may take, such as 800M or 16G\n"
             "(default: half of this machine's), shared among the workers: each\n"
             "frame read, filtered and written within its share. A frame that would\n"
             "take more is refused, with what it would take, before it is read.",
             [&o](const std::string& v) { o.maxMemory = ParseMemorySize(v); }},
            {{"--module"},
             "PATH",
             "the plug-in module to load (default: the file $DEEPGLASS_MODULE\n"
             "names, else KELDA.FLT beside deepglass or where it was installed)",
             [&o](const std::string& v) { o.modulePath = v; },
             "Module"}};
}

void FinishApply(Command& command, std::vector<std::string>& operands)
{
    ApplyOptions& options = command.apply;
    options.inputs = std::move(operands);
    if (options.inputs.empty() && options.filter.saveConfigPath.empty())
        throw UsageError("apply needs at least one INPUT.exr (see deepglass apply --help)");
    CheckFilterChoice(options.filter);
    CheckMatteRequest(command.mattes, options.matte, options.filter);
    CheckShotInputs(options.inputs, options.frames);
    if (options.jobs < 0) throw UsageError("--jobs takes a number of frames from 1 (0: chosen by the tool)");
    if (!options.reportPath.empty() && !HasExtension(options.reportPath, ".json"))
        throw UsageError("the report " + options.reportPath + " must end in .json");
    if (HasFramePattern(options.output.path))
        ResolvePatternOutput(options.output, command.format);
    else
        ResolveOutputTarget(options.output, command.format, ShotFrameCount(options.inputs, options.frames));
    CheckRangeChoice(options.range);
    if (options.range.overSelection && options.filter.configPath.empty() &&
        options.filter.mode.value_or(MODE_WHOLE_IMAGE) == MODE_WHOLE_IMAGE)
        throw UsageError("--range-over selection takes the scale over the pixels --mode object or material "
                         "selects; the whole mode selects every pixel");
    if (options.png == PngKind::GREY && options.filter.configPath.empty() &&
        options.filter.mode.value_or(MODE_WHOLE_IMAGE) != MODE_WHOLE_IMAGE)
        throw UsageError(std::string("--png grey writes one grey channel, but --mode ") +
                         (*options.filter.mode == MODE_MATERIAL_ID ? "material" : "object") +
                         " keeps the colour of the pixels it does not select; use --png rgba");
    if ((options.png || options.bits != 16) && options.output.format == OutputFormat::EXR)
        throw UsageError("--png and --bits are for PNG output; an EXR output keeps each channel's own type");
    if (options.opaque && options.output.format == OutputFormat::EXR)
        throw UsageError("--opaque is for PNG output; an EXR output keeps the filter's alpha");
    if (options.colour.kind != ColourChoice::Kind::AUTO && options.output.format == OutputFormat::EXR)
        throw UsageError("--colour is for PNG output; an EXR output keeps the colour as stored");
    // The whole mode keeps no colour; its pictures do not depend on $OCIO, even a broken one.
    const bool whole = options.filter.configPath.empty() &&
                       options.filter.mode.value_or(MODE_WHOLE_IMAGE) == MODE_WHOLE_IMAGE;
    if (options.output.format == OutputFormat::PNG &&
        !(whole && options.colour.kind == ColourChoice::Kind::AUTO))
        options.display = ResolveColour(options.colour, std::getenv("OCIO"));
}

} // namespace deepglass
