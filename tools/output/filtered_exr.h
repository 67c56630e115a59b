// The input file with what the filter changed in one view, and nothing else: every part, view,
// channel and attribute as read, every sample the filter did not rewrite bit for bit.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "bitmap.h"
#include "exr/exr_file.h"

namespace deepglass {

struct FilteredView {
    std::string view;                 // the view that was filtered ("" in a file of one view)
    std::array<std::string, 4> names; // its R, G, B, A channels (names within the view)
    bool lumaChroma = false;          // the names are Y, RY, BY, A: a grey is stored as luminance alone
    int windowPart = 0;               // the part whose data window `colour` covers
    PixelBox window;
    const BMM_Color_64* colour = nullptr;         // what the filter wrote back, over `window`
    const std::vector<bool>* rewritten = nullptr; // which pixels it rewrote
};

// Stores the rewritten pixels' colour into `file`, in the view's colour channels, in each channel's
// own sample type. A colour channel the view lacks is added (half, to the window's part) when a
// pixel was rewritten; its kept pixels hold what the filter was given (0, alpha 1). Rewritten
// pixels that the colour channel's part does not cover add a warning. Luminance-chroma colour keeps
// its channels: a grey is its luminance, with chroma 0 where the view has chroma channels.
void StoreFilteredColour(ExrFile& file, const FilteredView& filtered, std::vector<std::string>& warnings);

} // namespace deepglass
