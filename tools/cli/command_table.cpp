#include "cli/command_table.h"

#include "base/number_text.h"
#include "cli/command_options.h"
#include "deepglass_interface.h"
#include "module/filter_runner.h"

namespace deepglass {

const char* const TOOL_SUMMARY = "grey depth pictures from rendered EXR frames";
const char* const TOOL_DESCRIPTION =
    "The filter maps each frame's depth to grey: the nearest depth white, the farthest black, linear\n"
    "in between, with the grey level in red, green, blue and alpha alike. Pixels the renderer left\n"
    "empty (depth -1e30) come out black with alpha 0.\n";
const char* const TOOL_EXIT_STATUS =
    "0 when everything succeeded, 1 when a frame or the command failed, 2 when the\n"
    "command line is wrong.\n";

std::string ToolModuleText()
{
    return std::string("The module is the file --module names, else the one the environment variable\n") +
           MODULE_ENVIRONMENT_VARIABLE + " names, else " + MODULE_FILE_NAME +
           " beside deepglass (in a build folder),\nelse " + INSTALLED_MODULE_FOLDER + "/" +
           MODULE_FILE_NAME + " from deepglass's folder, where an installation puts it.\n";
}

const std::vector<CommandEntry>& CommandTable()
{
    // Names the depth limit, at and above which depths take no part in a frame's range.
    static const std::string infoDescription =
        "For one frame: its size and windows, its channels with their types, the depth range the filter\n"
        "would use (the smallest and largest depth magnitude below " +
        ExponentText(DEPTH_LIMIT) +
        "), the share of background, and\n"
        "the material-effects and object IDs present with their pixel counts.\n"
        "For several frames: one line a frame with the same depth range, background share and IDs, so\n"
        "that the per-frame grey scale of a sequence (and the flicker it can cause) shows beforehand,\n"
        "and last the shot's range, NEAR:FAR, for apply --range in each task of a farm.\n"
        "For a PNG picture (told by its signature): its size and the depth mapping apply wrote into it.\n"
        "For a video (.mkv, .mp4): its codec, pixels, size, frames and rate, and its depth mapping.\n";
    static const std::vector<CommandEntry> table = {
        {.name = "apply",
         .kind = CommandKind::APPLY,
         .synopsis = "apply [options] INPUT.exr...",
         .summary = "filter frames through the Deepglass module",
         .operands = "INPUT.exr...",
         .description =
             "Runs each frame through the plug-in module, exactly as the host application does, and writes\n"
             "the filtered picture. By default each frame's grey scale runs from its own nearest to its own\n"
             "farthest depth, so the same depth can get different greys in different frames; --range shot\n"
             "gives every frame one scale.\n",
         .epilogue =
             "\nSeveral inputs show a progress bar on a terminal (plain lines otherwise) and a summary; a "
             "frame\n"
             "that fails does not stop the others, and the exit status is 1 if any failed. Outputs are\n"
             "written under a temporary name and renamed when complete; an input is never written over.\n\n"
             "Example:\n  deepglass apply --mode object --id 3 --range shot -o grey/ "
             "shot/frame.*.exr\n",
         .layout = {26, true},
         .options = ApplyTable,
         .finish = FinishApply},
        {.name = "info",
         .kind = CommandKind::INFO,
         .synopsis = "info [options] INPUT.exr...",
         .summary =
             "size, channels, depth range and IDs of frames;\nthe depth mapping of pictures and videos",
         .operands = "INPUT.exr...",
         .description = infoDescription.c_str(),
         .options = InfoTable,
         .finish = FinishInfo},
        {.name = "depth",
         .kind = CommandKind::DEPTH,
         .synopsis = "depth [options] PICTURE.png|VIDEO.mkv...",
         .summary = "depth pictures and videos read back into EXR depth",
         .operands = "PICTURE.png|VIDEO.mkv...",
         .description =
             "Writes each grey or RGBA picture of 8 or 16 bits as an EXR frame with a float Z channel: each\n"
             "level made back into the depth it stands for, by the depth mapping apply wrote into the\n"
             "picture (deepglass info PICTURE.png shows it). Linear: far - t x (far - near); inverse:\n"
             "1/depth = 1/far + t x (1/near - 1/far); t = level / (2^bits - 1). Every depth comes back\n"
             "within one level's step of the depth it was made from.\n"
             "Level 0 is both the far end and nothing rendered; it becomes the far end unless\n"
             "--level-zero empty. A pixel of an RGBA picture that holds no grey (red, green and blue\n"
             "differ, or alpha is neither the grey nor full: colour the ID modes kept) is nothing "
             "rendered.\n"
             "A video (.mkv, .mp4) is read back frame by frame, each numbered as the video records it (with\n"
             "--frames, those listed): an .mkv's levels are its pictures', an .mp4's lossy (see README).\n",
         .epilogue =
             "\nA picture or video without a depth mapping, or with a damaged one, is refused and nothing\n"
             "is written, unless --range and --curve give the mapping; so is a video that does not hold\n"
             "every frame its metadata lists.\n\n"
             "Example:\n  deepglass depth --frames 1-4 grey.%04d.png -o depth.%04d.exr\n"
             "  deepglass depth shot.mkv -o depth.%04d.exr\n",
         .options = DepthTable,
         .finish = FinishDepth},
        {.name = "sample",
         .kind = CommandKind::SAMPLE,
         .synopsis = "sample OUTPUT.exr",
         .summary = "write the bundled sample frame",
         .operands = "OUTPUT.exr",
         .description =
             "Writes the bundled sample frame, a small scene the tool renders itself: a few objects over a\n"
             "floor, in three materials, with colour (R, G, B, A as half), depth (Z, float; the empty\n"
             "background at -1e30 as the host writes it), material-effects IDs (materialID) and object IDs\n"
             "(objectID), both UINT. 640 x 360 pixels unless told otherwise. With --cryptomatte, also the\n"
             "Cryptomatte layers CryptoObject (floor, sphere.large, box, sphere.small) and CryptoMaterial\n"
             "(floor_tiles, glass, wood), each with its manifest, to select by name with apply --matte.\n",
         .options = SampleTable,
         .finish = FinishSample},
        {.name = "demo",
         .kind = CommandKind::DEMO,
         .synopsis = "demo [FOLDER]",
         .summary = "sample frame and its three filtered pictures\n(default folder: out)",
         .operands = "[FOLDER]",
         .description =
             "Writes the sample frame into FOLDER (default out) and filters it through the module three\n"
             "times: the whole frame, only material-effects ID 2, and only object ID 3: PNG pictures, the\n"
             "first one grey channel, the others RGBA with opaque alpha, so that any viewer shows them.\n",
         .options = DemoTable,
         .finish = FinishDemo},
        {.name = "help",
         .kind = CommandKind::HELP,
         .synopsis = "help COMMAND, deepglass COMMAND --help",
         .summary = "help on one command"},
        {.name = "--version",
         .kind = CommandKind::VERSION,
         .synopsis = "--version [--module PATH]",
         .summary = "versions of the tool and of the module",
         .options = VersionTable,
         .finish = FinishVersion}};
    return table;
}

const CommandEntry* FindCommand(const std::string& name)
{
    for (const CommandEntry& entry : CommandTable())
        if (name == entry.name) return &entry;
    return nullptr;
}

std::string UsageLine(const CommandEntry& entry)
{
    if (entry.operands == nullptr) return entry.synopsis;
    Command unbound;
    return std::string(entry.name) + " " + UsageOptions(entry.options(unbound)) + " " + entry.operands;
}

} // namespace deepglass
