// What an `apply`, `info` or `depth` run is told: plain values, typed and checked. The command
// line parses what was typed into them, and so does every other face of the tool; all then call
// the same commands with them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cryptomatte/matte_ids.h"
#include "depth/depth_percentiles.h"
#include "depth/depth_scale.h"
#include "frame/background.h"
#include "frame/channel_discovery.h"
#include "frame/display_colour.h"
#include "module/filter_configuration.h"
#include "png/png_format.h"
#include "shot/output_paths.h"
#include "video/video_format.h"

namespace deepglass {

// --range, --range-over, --clip and --curve: the grey scale frames are handed to the filter with.
struct RangeChoice {
    enum class Kind { FRAME, SHOT, FIXED };
    Kind kind = Kind::FRAME; // each frame its own scale, one over the shot, or `scale`
    DepthScale scale;
    bool overSelection = false;    // in the ID modes, the scale of the selected pixels alone
    std::optional<DepthClip> clip; // the scale's ends at these percentiles; none: nearest and farthest
    DepthCurve curve = DepthCurve::LINEAR;
};

// --colour: how the ID modes' PNG pictures hold the colour they keep. AUTO: $OCIO's default
// display and view where $OCIO names a config, else the sRGB curve; LINEAR: the scene-linear
// colour as stored.
struct ColourChoice {
    enum class Kind { AUTO, SRGB, LINEAR, DISPLAY_VIEW };
    Kind kind = Kind::AUTO;
    std::string display, view; // for DISPLAY_VIEW
};

// The background rule unless the command line names another.
constexpr BackgroundRule DEFAULT_BACKGROUND = {BackgroundRule::Kind::AUTO, 0.0f};

struct ApplyOptions {
    std::vector<std::string> inputs;
    OutputTarget output;
    FilterChoice filter;
    MatteRequest matte; // an ID channel built from a Cryptomatte layer
    ChannelNames names;
    std::string view;       // "": the file's default view; "all": every view
    std::string modulePath; // empty: found by ModulePath
    BackgroundRule background = DEFAULT_BACKGROUND;
    RangeChoice range;
    bool opaque = false;
    ColourChoice colour;
    std::shared_ptr<const DisplayColour> display; // --colour as the checks resolve it; none: as stored
    std::optional<PngKind> png;                   // none: grey where the mode rewrites every pixel, else RGBA
    int bits = 16;
    PngCompression compression = PngCompression::DEFAULT;
    std::vector<int> frames; // from --frames; empty: every input as named
    int jobs = 0;            // 0: chosen from the cores and the memory
    bool skipExisting = false;
    std::string reportPath;
    std::uint64_t maxMemory = 0; // what the frames read at once may take; 0: half of the machine's
    // A video output (.mkv, .mp4) holds one scale: its range is SHOT or FIXED.
    std::optional<VideoRate> fps;    // none: the first frame's framesPerSecond, else 24
    std::optional<int> videoQuality; // H.264's CRF; none: VIDEO_QUALITY_DEFAULT
    // The rows of a strip a frame goes to the filter in: 0 as many as its width keeps in cache,
    // STRIPS_OFF the frame whole (no face offers other values; the tests compare the two).
    int stripRows = 0;
};

inline constexpr int STRIPS_OFF = -1;

struct InfoOptions {
    std::vector<std::string> inputs;
    ChannelNames names;
    std::string view; // "": the file's default view; "all": every view
    BackgroundRule background = DEFAULT_BACKGROUND;
    RangeChoice range; // the scale drawn over the chart
    std::vector<int> frames;
    std::string plotPath; // a chart of the depth ranges, when given
    ColourChoice colour;  // the --colour whose transform to tell
    std::shared_ptr<const DisplayColour> display;
    std::string colourProblem;   // why $OCIO's config cannot give --colour auto; empty: nothing
    std::uint64_t maxMemory = 0; // what reading a frame may take; 0: half of the machine's
};

// `depth`: pictures read back into depth, each level through its picture's mapping unless the
// command line gives the scale and the curve.
struct DepthOptions {
    std::vector<std::string> inputs;
    OutputTarget output;             // EXR frames
    std::vector<int> frames;         // from --frames; empty: every input as named
    std::optional<DepthScale> scale; // --range NEAR:FAR, in place of what the pictures say
    std::optional<DepthCurve> curve; // --curve, likewise
    bool levelZeroEmpty = false;     // --level-zero empty: level 0 is nothing rendered, not far
    std::uint64_t maxMemory = 0;     // what reading one picture back may take; 0: half of the machine's
};

} // namespace deepglass
