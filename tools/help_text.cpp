#include "help_text.h"

namespace {

constexpr const char* MAIN_HELP = R"(deepglass - grey depth pictures from rendered EXR frames

Usage:
  deepglass apply [options] INPUT.exr...   filter frames through the Deepglass module
  deepglass info [options] INPUT.exr...    size, channels, depth range and IDs of frames
  deepglass sample OUTPUT.exr              write the bundled sample frame
  deepglass demo [FOLDER]                  sample frame and its three filtered pictures
                                           (default folder: out)
  deepglass help COMMAND, deepglass COMMAND --help   help on one command
  deepglass --version [--module PATH]      versions of the tool and of the module

The filter maps each frame's depth to grey: the nearest depth white, the farthest black, linear
in between, with the grey level in red, green, blue and alpha alike. Pixels the renderer left
empty (depth -1e30) come out black with alpha 0.

Exit status: 0 when everything succeeded, 1 when a frame or the command failed, 2 when the
command line is wrong.
)";

constexpr const char* APPLY_HELP = R"(Usage: deepglass apply [options] INPUT.exr...

Runs each frame through the plug-in module, exactly as the host application does, and writes
the filtered picture. Each frame is filtered on its own: its grey scale runs from its own nearest
to its own farthest depth, so the same depth can get different greys in different frames.

Output:
  -o, --output PATH       the output file for one input (.png or .exr); for several inputs
                          a folder (created if missing), holding NAME.png or NAME.exr for each
                          NAME.exr. Default: each output beside its input.
  --format png|exr        the output format where PATH does not say it (default png)
  --opaque                write PNG alpha as 65535, so that any viewer shows the grey picture
                          (otherwise the filter's alpha, equal to the grey, is kept)

  A PNG holds the frame's display window: 16-bit RGBA, the data window placed at its offset
  in it, pixels outside the data window transparent black (opaque black with --opaque). Every
  frame of a sequence is written the same way; data outside the display window is left out.
  An EXR output keeps both windows as they were: R, G, B, A as half floats from the filter
  and every other channel of the input unchanged.

Filter settings:
  --mode whole|material|object
                          rewrite the whole frame (default), or only the pixels of one
                          material-effects ID or of one object ID; other pixels keep their colour
  --id N                  the material-effects ID (1..8) or object ID (1..65535); default 1
  --config FILE           take the settings from a saved 16-byte configuration record
  --save-config FILE      write the filter's configuration record (with no INPUT, only that)

Channels of the input:
  --depth NAME            depth channel, HALF or FLOAT (default Z)
  --material NAME         material-effects ID channel (default materialID)
  --object NAME           object ID channel (default objectID)
  ID channels may be UINT, or HALF or FLOAT holding whole numbers; a material-effects ID must
  fit in 8 bits and an object ID in 16 bits.

Frames from other renderers:
  --background none|alpha|depth:V
                          which pixels are handed to the filter as empty background (the
                          host's depth -1e30): none, everything as stored (default); alpha,
                          the pixels with alpha 0; depth:V, the pixels whose depth is exactly V
                          (for example depth:0, depth:1e10, depth:inf)
  A hint is shown once when a frame's background looks as if it needed this option.

Module:
  --module PATH           the plug-in module to load (default: KELDA.FLT beside deepglass)

Several inputs show a progress bar on a terminal (plain lines otherwise) and a summary; a frame
that fails does not stop the others, and the exit status is 1 if any failed. Outputs are
written under a temporary name and renamed when complete; an input is never written over.

Example:
  deepglass apply --mode object --id 3 --background alpha -o grey/ shot/frame.*.exr
)";

constexpr const char* INFO_HELP = R"(Usage: deepglass info [options] INPUT.exr...

For one frame: its size and windows, its channels with their types, the depth range the filter
would use (the smallest and largest depth magnitude below 1e20), the share of background, and
the material-effects and object IDs present with their pixel counts.
For several frames: one line a frame with the same depth range, background share and IDs, so
that the per-frame grey scale of a sequence (and the flicker it can cause) shows beforehand.

  --background none|alpha|depth:V   count the pixels as apply would hand them to the filter
  --depth NAME, --material NAME, --object NAME   channel names (defaults Z, materialID, objectID)
)";

constexpr const char* SAMPLE_HELP = R"(Usage: deepglass sample [--width W] [--height H] OUTPUT.exr

Writes the bundled sample frame, a small scene the tool renders itself: a few objects over a
floor, in three materials, with colour (R, G, B, A as half), depth (Z, float; the empty
background at -1e30 as the host writes it), material-effects IDs (materialID) and object IDs
(objectID), both UINT. 640 x 360 pixels unless told otherwise.
)";

constexpr const char* DEMO_HELP = R"(Usage: deepglass demo [--module PATH] [FOLDER]

Writes the sample frame into FOLDER (default out) and filters it through the module three
times: the whole frame, only material-effects ID 2, and only object ID 3. The pictures are PNG
with opaque alpha, so that any viewer shows them.
)";

} // namespace

std::string HelpText(const std::string& topic)
{
    if (topic == "apply") return APPLY_HELP;
    if (topic == "info") return INFO_HELP;
    if (topic == "sample") return SAMPLE_HELP;
    if (topic == "demo") return DEMO_HELP;
    return MAIN_HELP;
}
