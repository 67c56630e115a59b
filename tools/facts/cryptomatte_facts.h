// What `info` tells about the Cryptomatte layers of one view: each layer's names with the number
// of pixels where each is the rank-0 ID, most pixels first.
#pragma once

#include <cstdio>
#include <string>

#include "exr/exr_file.h"
#include "frame/view_frame.h"

namespace deepglass {

// Nothing when the view has no Cryptomatte layer. `path` locates sidecar manifests; a manifest
// that cannot be read is told in the listing, whose IDs are then shown in hex.
void PrintCryptomattes(const ExrFile& file, const ViewFrame& made, const std::string& path, std::FILE* out);

} // namespace deepglass
