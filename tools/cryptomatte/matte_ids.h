// The host's ID channel of a mode made from a Cryptomatte layer, as a renderer's file writer
// would make it: the filter's ID on pixels whose rank-0 ID belongs to a name the user picked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cryptomatte/matte_selection.h"
#include "exr/exr_file.h"

namespace deepglass {

struct MatteRequest {
    std::vector<NamePattern> patterns; // --matte
    std::string layer;                 // --cryptomatte; empty: found by the mode's role
};

// What a matte is made of, known from the headers alone: the mode whose ID channel it makes, the
// layer's channel of rank-0 IDs and the IDs selected.
struct MattePlan {
    std::int32_t mode = 0;
    ViewChannel idChannel;
    MatteSelection selection;
};

// The plan for `mode` in the view of `channels`. `layout` need hold no samples; `exrPath` locates
// a sidecar manifest. A ToolError for anything that keeps the selection from being made.
MattePlan PlanMatte(const ExrFile& layout, const std::vector<ViewChannel>& channels,
                    const std::string& exrPath, const MatteRequest& request, std::int32_t mode);

// "Cryptomatte CryptoObject00.R (box, sphere.large)": where the ID channel comes from, for the
// note of the channels taken.
std::string MatteSourceText(const MattePlan& plan);

struct MatteChannel {
    std::vector<std::uint16_t> ids; // over the same pixels as the rank-0 channel
    std::size_t selected = 0;       // pixels given the ID
    std::vector<std::string> warnings;
};

// `id` where the rank-0 ID (`rankZero`, the plan's channel over the frame's data window) is
// selected, 0 elsewhere.
MatteChannel MatteChannelOf(const MattePlan& plan, const FrameChannel& rankZero, std::uint16_t id);
// The warnings of a matte that gave its ID to `selected` pixels of the frame, made a strip of rows at
// a time: those of its selection, and that it gave none where it did not.
std::vector<std::string> MatteWarnings(const MattePlan& plan, std::size_t selected);

} // namespace deepglass
