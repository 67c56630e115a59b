// The Cryptomatte layers of a view, as the header attributes cryptomatte/KEY/name, /hash,
// /conversion, /manifest and /manif_file describe them, with the channel that holds each layer's
// rank-0 IDs (NAME00.R or NAME00.red: ID and coverage, ID and coverage in R, G, B, A).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cryptomatte/manifest.h"
#include "exr/exr_file.h"

namespace deepglass {

struct CryptomatteLayer {
    std::string key;
    std::string name;
    std::string hash;                    // as written; empty when not given
    std::string conversion;              // as written; empty when not given
    std::optional<std::string> manifest; // the embedded JSON
    std::string manifestFile;            // manif_file as written, relative to the EXR file
    std::string idChannel;               // the view's channel of rank-0 IDs; empty when it lacks one
};

// The layers named in any part's header, in order of name, each with its rank-0 ID channel among
// `channels` (the channels of one view).
std::vector<CryptomatteLayer> CryptomatteLayersOf(const ExrFile& file,
                                                  const std::vector<ViewChannel>& channels);

// The layer `asked` names, or where that is empty the one layer whose name holds `role` ("object"
// or "material"), case-insensitive. A ToolError naming the layers there are when there is no such
// layer or several, or when the chosen one has no rank-0 ID channel.
const CryptomatteLayer& ChooseCryptomatte(const std::vector<CryptomatteLayer>& layers,
                                          const std::string& asked, const std::string& role);

// The layer's manifest, embedded or from its sidecar file (resolved against the folder of
// `exrPath`); nothing when it has neither. A ToolError for a hash or conversion other than
// MurmurHash3_32 and uint32_to_float32, and for a manifest that cannot be read or parsed.
std::optional<Manifest> ManifestOf(const CryptomatteLayer& layer, const std::string& exrPath);

} // namespace deepglass
