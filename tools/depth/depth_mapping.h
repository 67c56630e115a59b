// What a written depth picture says about its greys: the scale's two ends, the curve between them,
// the levels, what level 0 stands for, and where the greys came from. Built once for each view
// written, stored as text under keys of one prefix (PNG text chunks, EXR header attributes), and
// read back from them by `depth` and `info`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "depth/depth_scale.h"
#include "output/header_text.h"
#include "png/png_format.h"

namespace deepglass {

// The prefix of every key.
inline constexpr const char* MAPPING_PREFIX = "deepglass:";

struct DepthMapping {
    std::optional<DepthScale> scale; // near: the top level (white); far: level 0. None: no depth took part
    DepthCurve curve = DepthCurve::LINEAR;
    int bits = 16;          // the levels run from 0 to 2^bits - 1
    std::string grey;       // where a pixel's level is: "grey", "R,G,B,A", "R,G,B,A = level / 65535"
    std::string depth;      // the depth channel the greys stand for
    std::string view;       // "" in a file of one view
    std::string background; // the background rule, as --background takes it
    std::string pixels;     // the pixels that hold a grey: "every pixel", "object ID 3", ...
    std::optional<int> frame;
    std::string tool;   // the tool's version
    std::string module; // the module's description, with its version
};

// The mapping as the texts a picture holds, every key beginning with MAPPING_PREFIX; the scale's
// ends as floats, the bits and the frame as ints.
std::vector<HeaderText> MappingTexts(const DepthMapping& mapping);
// The same as PNG text chunks, each value as NameText gives it (UTF-8 whatever the names' bytes).
std::vector<PngText> MappingPngText(const DepthMapping& mapping);

// The mapping the texts hold (others than MAPPING_PREFIX's are ignored). A ToolError naming the key
// for a missing key, or a value that is not one the tool writes.
DepthMapping ParseMapping(const std::vector<std::pair<std::string, std::string>>& texts);
// Whether any text is under MAPPING_PREFIX: a picture that says nothing has no mapping at all.
bool HasMapping(const std::vector<std::pair<std::string, std::string>>& texts);

// What a video's container says of its frames beside the mapping, under MAPPING_PREFIX: the first
// and last frame numbers, and every number as --frames takes a list ("1-4", "1-9x2,12").
std::vector<std::pair<std::string, std::string>> VideoFrameTexts(const std::vector<int>& numbers);
// The frame numbers the texts list, none when they list none; a ToolError naming the key when the
// list is damaged, disagrees with the first and last numbers, or names more than VIDEO_FRAMES_MAX.
constexpr std::size_t VIDEO_FRAMES_MAX = std::size_t{1} << 20;
std::optional<std::vector<int>>
ParseVideoFrames(const std::vector<std::pair<std::string, std::string>>& texts);

// The depth magnitude that `level` (of 2^bits - 1) stands for on `scale`: linear, far - t × (far -
// near); inverse, 1 / (1/far + t × (1/near - 1/far)); t = level / (2^bits - 1). Level 0 is far.
double DepthOfLevel(const DepthScale& scale, DepthCurve curve, std::uint32_t level, int bits);

// The mapping's lines as `info` shows them, each ending in a newline.
std::string MappingText(const DepthMapping& mapping);

} // namespace deepglass
