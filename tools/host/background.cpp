#include "host/background.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "cli/number_text.h"
#include "cli/tool_error.h"

std::string BackgroundRule::Text() const
{
    switch (kind) {
    case Kind::ALPHA: return "alpha";
    case Kind::DEPTH: return "depth:" + NumberText(depth);
    default: return "none";
    }
}

BackgroundRule ParseBackground(const std::string& text)
{
    if (text == "none") return {};
    if (text == "alpha") return {BackgroundRule::Kind::ALPHA, 0.0f};
    const std::string prefix = "depth:";
    if (text.rfind(prefix, 0) == 0) {
        const std::string number = text.substr(prefix.size());
        char* end = nullptr;
        errno = 0;
        const float value = std::strtof(number.c_str(), &end);
        if (!number.empty() && *end == '\0' && !std::isnan(value) && errno == 0)
            return {BackgroundRule::Kind::DEPTH, value};
        throw UsageError("--background " + text + ": " + number +
                         " is not a depth (give a number such as 0 or 1e10, or inf)");
    }
    throw UsageError("--background " + text + ": use none, alpha or depth:V");
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
