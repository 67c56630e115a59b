// Which channels of a view the host's frame is made of: colour, depth and the two ID channels,
// found by the layouts renderers write them in, or named by the user.
//
//   layout        colour                 depth        material-effects ID  object ID
//   plain         R G B A                Z            materialID           objectID
//   compositing   R G B A                depth.Z      materialID           objectID
//   multilayer    L.Combined.R G B A     L.Depth.Z    L.IndexMA.X          L.IndexOB.X
//
// Plain channels without R, G and B but with a luminance Y (and the chroma RY, BY) hold
// luminance-chroma colour, which is read as R, G, B through OpenEXR's own conversion.
//
// The plain and compositing names make up the unnamed layer ""; each multilayer render layer L
// is a layer of its own. Depth decides the layer; colour and IDs come from the same layer.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "exr/exr_file.h"

namespace deepglass {

// What the user asked for; an empty name is found by layout.
struct ChannelNames {
    std::string depth;
    std::string material;
    std::string object;
    std::optional<std::string> layer; // "" the plain channels
};

struct ChannelChoice {
    std::string layer;
    // Each channel taken, or the one looked for; has... says whether the view has it.
    std::array<std::string, 4> colour; // R, G, B, A; Y, RY, BY, A for luminance-chroma colour
    std::string depth;
    std::string material;
    std::string object;
    std::array<bool, 4> hasColour = {};
    bool hasDepth = false;
    bool hasMaterial = false;
    bool hasObject = false;
    bool lumaChroma = false; // colour[0..2] are Y, RY and BY

    // The colour channels the view has, an empty name for each it lacks.
    std::array<std::string, 4> PresentColour() const;
    // "colour R, G, B, A; depth Z; material-effects ID materialID; object ID none (no objectID)";
    // luminance-chroma colour is "colour Y, RY, BY, A (luminance-chroma)"
    std::string Text() const;
};

// The channels the frame is made of. A ToolError when `asked.layer` is not a layer of the view
// (naming those that are) or when several depth channels are candidates (naming them).
ChannelChoice ChooseChannels(const std::vector<ViewChannel>& channels, const ChannelNames& asked);

} // namespace deepglass
