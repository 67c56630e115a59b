#include "frame/background.h"

#include <cmath>

#include "base/number_text.h"

namespace deepglass {

const char* const AUTO_BACKGROUND_TEXT = "depth magnitude 1e10 or more, or depth 0 under alpha 0";

std::string BackgroundRule::Text() const
{
    switch (kind) {
    case Kind::AUTO: return "auto";
    case Kind::ALPHA: return "alpha";
    case Kind::DEPTH: return "depth:" + NumberText(depth);
    default: return "none";
    }
}

std::size_t ApplyBackground(const BackgroundRule& rule, std::span<const BMM_Color_64> colour,
                            std::span<float> depth)
{
    if (rule.kind == BackgroundRule::Kind::NONE) return 0;
    std::size_t taken = 0;
    for (std::size_t i = 0; i < depth.size(); ++i) {
        const float z = depth[i];
        bool background = false;
        switch (rule.kind) {
        case BackgroundRule::Kind::AUTO:
            background = std::fabs(z) >= AUTO_BACKGROUND_DEPTH || (z == 0.0f && colour[i].a == 0);
            break;
        case BackgroundRule::Kind::ALPHA: background = colour[i].a == 0; break;
        case BackgroundRule::Kind::DEPTH: background = z == rule.depth; break;
        case BackgroundRule::Kind::NONE: break;
        }
        if (!background) continue;
        if (std::fabs(z) < DEPTH_LIMIT) ++taken;
        depth[i] = HOST_BACKGROUND_DEPTH;
    }
    return taken;
}

} // namespace deepglass
