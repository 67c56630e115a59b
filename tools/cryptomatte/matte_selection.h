// From --matte patterns to the host's ID channel: the IDs of the names the patterns match, and a
// channel holding the filter's ID where a pixel's rank-0 ID is one of them, 0 elsewhere.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cryptomatte/manifest.h"
#include "cryptomatte/name_pattern.h"
#include "image/frame_channel.h"

namespace deepglass {

struct MatteSelection {
    std::set<std::uint32_t> ids;
    std::set<std::string> names;       // the names matched, or given where there is no manifest
    std::vector<std::string> warnings; // what the user should know about the selection
};

// The IDs the patterns select among the manifest's names. Without a manifest a whole name (a
// pattern without wildcards) is taken by its hash. A ToolError for a pattern that matches no
// name (naming those closest to it), or that has wildcards where there is no manifest.
MatteSelection SelectNames(const std::optional<Manifest>& manifest, const std::vector<NamePattern>& patterns,
                           const std::string& layerName);

// `id` where the rank-0 ID (a FLOAT channel's bits) is selected, 0 elsewhere; `selected` counts
// those pixels. A ToolError for a channel that is not FLOAT: a HALF or UINT channel cannot hold
// the IDs.
std::vector<std::uint16_t> MatteIdChannel(const FrameChannel& rankZero, const std::set<std::uint32_t>& ids,
                                          std::uint16_t id, std::size_t& selected);

// How many pixels have each rank-0 ID (the same check of the channel's type).
std::map<std::uint32_t, std::size_t> RankZeroCounts(const FrameChannel& rankZero);

} // namespace deepglass
