// Which pixels the filter rewrote, found from what it wrote back alone. The filter writes a grey
// level into red, green, blue and alpha of each pixel it rewrites, worked out from depth only, and
// leaves every other pixel as it was handed over. So the frame is handed over in a marker colour
// that no grey pixel can have: a pixel that comes back in another colour was rewritten, one that
// comes back in the marker was kept. The tool need not know which pixels the filter selects.
#pragma once

#include <vector>

#include "module/filter_runner.h"

namespace deepglass {

// Renders the frame in `storage` once with the marker in place of its colour, which need not have
// been loaded. Afterwards its colour holds what the filter wrote where it rewrote a pixel, the
// marker elsewhere; the answer marks the rewritten pixels among the first `framePixels` (the
// frame, without any rows below it).
std::vector<bool> RenderFindingRewritten(FilterRunner& runner, MemoryStorage& storage,
                                         std::size_t framePixels);

} // namespace deepglass
