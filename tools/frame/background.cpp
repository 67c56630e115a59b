#include "frame/background.h"

#include <cmath>

#include "base/number_text.h"

std::string BackgroundRule::Text() const
{
    switch (kind) {
    case Kind::ALPHA: return "alpha";
    case Kind::DEPTH: return "depth:" + NumberText(depth);
    default: return "none";
    }
}

void ApplyBackground(const BackgroundRule& rule, std::span<const BMM_Color_64> colour, std::span<float> depth)
{
    if (rule.kind == BackgroundRule::Kind::NONE) return;
    for (std::size_t i = 0; i < depth.size(); ++i) {
        const bool background = rule.kind == BackgroundRule::Kind::ALPHA   ? colour[i].a == 0
                                : rule.kind == BackgroundRule::Kind::DEPTH ? depth[i] == rule.depth
                                                                           : false;
        if (background) depth[i] = HOST_BACKGROUND_DEPTH;
    }
}
