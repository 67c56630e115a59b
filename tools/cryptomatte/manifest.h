// A Cryptomatte manifest: the names of a layer with their IDs, read from the JSON object a header
// attribute holds or a sidecar file, {"name": "8 hex digits", ...}.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace deepglass {

struct ManifestEntry {
    std::string name;
    std::uint32_t id = 0; // float bits, as the pixels store it
};

struct Manifest {
    std::vector<ManifestEntry> entries; // sorted by name

    std::vector<std::string> Names() const;
};

// A ToolError, starting with `source`, for text that is not such a JSON object.
Manifest ParseManifest(const std::string& text, const std::string& source);
// A ToolError for a file that cannot be read (or is no regular file, or is too large for a
// manifest) or holds no manifest.
Manifest ReadManifestFile(const std::string& path);

} // namespace deepglass
