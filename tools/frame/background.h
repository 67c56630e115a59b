// Which pixels the tool hands to the filter as "nothing rendered". The host marks them with a
// depth of -1e30, which the filter leaves out of its depth range and maps to transparent black;
// other renderers mark them with a depth of their own (1e10, 1e30, infinity) or with depth 0 under
// alpha 0. The automatic rule takes all of those, so that the picture is the expected one from
// each without an option.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "bitmap.h"
#include "deepglass_interface.h"

namespace deepglass {

// The smallest magnitude the automatic rule takes as "nothing rendered": renderers write 1e10 or
// more where a ray hits nothing, and no scene is that deep.
constexpr float AUTO_BACKGROUND_DEPTH = 1e10f;

struct BackgroundRule {
    enum class Kind { NONE, AUTO, ALPHA, DEPTH };
    Kind kind = Kind::NONE;
    float depth = 0.0f; // for DEPTH: the stored depth that marks the background

    // "none", "auto", "alpha" or "depth:V"
    std::string Text() const;
};

// Sets the depth of every pixel the rule names to the host's background depth. Answers how many
// of them took part in the filter's depth range before (magnitude below the depth limit).
std::size_t ApplyBackground(const BackgroundRule& rule, std::span<const BMM_Color_64> colour,
                            std::span<float> depth);

// What the automatic rule takes, for messages.
extern const char* const AUTO_BACKGROUND_TEXT;

} // namespace deepglass
