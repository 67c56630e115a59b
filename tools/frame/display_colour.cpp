#include "frame/display_colour.h"

#include <OpenColorIO/OpenColorIO.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/list_text.h"
#include "base/tool_error.h"

namespace deepglass {

namespace OCIO = OCIO_NAMESPACE;

namespace {

class SrgbCurveColour final : public DisplayColour {
public:
    void Apply(std::span<float> rgba) const override
    {
        Unpremultiply(rgba);
        for (std::size_t i = 0; i < rgba.size(); i += 4)
            for (std::size_t c = 0; c < 3; ++c) rgba[i + c] = SrgbEncoded(rgba[i + c]);
    }
    std::string Text() const override { return "the sRGB curve (IEC 61966-2-1)"; }
};

class ConfigColour final : public DisplayColour {
public:
    ConfigColour(OCIO::ConstCPUProcessorRcPtr processor, std::string text)
        : processor(std::move(processor)), text(std::move(text))
    {
    }
    void Apply(std::span<float> rgba) const override
    {
        Unpremultiply(rgba);
        // OpenColorIO transforms alpha too where a view says so; the picture keeps the frame's.
        std::vector<float> alpha(rgba.size() / 4);
        for (std::size_t i = 0; i < alpha.size(); ++i) alpha[i] = rgba[i * 4 + 3];
        OCIO::PackedImageDesc image(rgba.data(), static_cast<long>(alpha.size()), 1, 4);
        processor->apply(image);
        for (std::size_t i = 0; i < alpha.size(); ++i) rgba[i * 4 + 3] = alpha[i];
    }
    std::string Text() const override { return text; }

private:
    OCIO::ConstCPUProcessorRcPtr processor;
    std::string text;
};

std::vector<std::string> Names(int count, const auto& name)
{
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.emplace_back(name(i));
    return names;
}

OCIO::ConstConfigRcPtr LoadConfig(const std::string& path)
{
    try {
        return OCIO::Config::CreateFromFile(path.c_str());
    } catch (const OCIO::Exception& error) {
        throw ToolError("the OpenColorIO config " + path + " does not load: " + error.what());
    }
}

std::shared_ptr<const DisplayColour> ColourOf(const OCIO::ConstConfigRcPtr& config, const std::string& path,
                                              const std::string& display, const std::string& view)
{
    const std::vector<std::string> displays =
        Names(config->getNumDisplays(), [&](int i) { return config->getDisplay(i); });
    if (std::find(displays.begin(), displays.end(), display) == displays.end())
        throw ToolError("the OpenColorIO config " + path + " has no display " + display +
                        "; its displays: " + ListText(displays));
    const std::vector<std::string> views = Names(config->getNumViews(display.c_str()),
                                                 [&](int i) { return config->getView(display.c_str(), i); });
    if (std::find(views.begin(), views.end(), view) == views.end())
        throw ToolError("the display " + display + " of the OpenColorIO config " + path + " has no view " +
                        view + "; its views: " + ListText(views));
    const char* source =
        config->hasRole(OCIO::ROLE_SCENE_LINEAR) ? OCIO::ROLE_SCENE_LINEAR : OCIO::ROLE_DEFAULT;
    try {
        OCIO::ConstProcessorRcPtr processor =
            config->getProcessor(source, display.c_str(), view.c_str(), OCIO::TRANSFORM_DIR_FORWARD);
        return std::make_shared<ConfigColour>(processor->getDefaultCPUProcessor(), "OpenColorIO display " +
                                                                                       display + ", view " +
                                                                                       view + " of " + path);
    } catch (const OCIO::Exception& error) {
        throw ToolError("the OpenColorIO config " + path + " cannot make display " + display + ", view " +
                        view + ": " + error.what());
    }
}

} // namespace

float SrgbEncoded(float linear)
{
    if (!(linear > 0.0f)) return 0.0f;
    if (linear >= 1.0f) return 1.0f;
    const double x = linear;
    return static_cast<float>(x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1.0 / 2.4) - 0.055);
}

void Unpremultiply(std::span<float> rgba)
{
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
        const float alpha = rgba[i + 3];
        if (alpha > 0.0f && alpha < 1.0f)
            for (std::size_t c = 0; c < 3; ++c) rgba[i + c] /= alpha;
    }
}

std::vector<float> GreyResponse(const DisplayColour& colour, int count)
{
    std::vector<float> rgba;
    for (int i = 0; i < count; ++i) {
        const float grey = static_cast<float>(i) / static_cast<float>(count - 1);
        rgba.insert(rgba.end(), {grey, grey, grey, 1.0f});
    }
    colour.Apply(rgba);
    std::vector<float> response;
    for (int i = 0; i < count; ++i) response.push_back(std::clamp(rgba[i * 4 + 1], 0.0f, 1.0f)); // green
    return response;
}

bool IsSrgbResponse(const std::vector<float>& response)
{
    for (std::size_t i = 0; i < response.size(); ++i) {
        const float grey = static_cast<float>(i) / static_cast<float>(response.size() - 1);
        if (!(std::abs(response[i] - SrgbEncoded(grey)) <= 1.0f / 1024)) return false;
    }
    return true;
}

std::shared_ptr<const DisplayColour> DisplayColour::SrgbCurve()
{
    return std::make_shared<SrgbCurveColour>();
}

std::shared_ptr<const DisplayColour>
DisplayColour::FromConfig(const std::string& config, const std::string& display, const std::string& view)
{
    return ColourOf(LoadConfig(config), config, display, view);
}

std::shared_ptr<const DisplayColour> DisplayColour::ConfigDefault(const std::string& config)
{
    const OCIO::ConstConfigRcPtr loaded = LoadConfig(config);
    const std::string display = loaded->getDefaultDisplay();
    return ColourOf(loaded, config, display, loaded->getDefaultView(display.c_str()));
}

} // namespace deepglass
