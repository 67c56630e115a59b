// Which pixels the tool hands to the filter as "nothing rendered". The host marks them with a
// depth of -1e30, which the filter leaves out of its depth range and maps to transparent black;
// other renderers mark them with alpha 0 or a depth of their own (0, 1e10, infinity).
#pragma once

#include <span>
#include <string>

#include "bitmap.h"
#include "deepglass_interface.h"

struct BackgroundRule {
    enum class Kind { NONE, ALPHA, DEPTH };
    Kind kind = Kind::NONE;
    float depth = 0.0f; // for DEPTH: the stored depth that marks the background

    // "none", "alpha" or "depth:V"
    std::string Text() const;
};

// Sets the depth of every pixel the rule names to the host's background depth.
void ApplyBackground(const BackgroundRule& rule, std::span<const BMM_Color_64> colour,
                     std::span<float> depth);
