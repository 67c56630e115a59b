// The display transform kept colour goes through on its way to the filter in the ID modes' PNG
// route, as the host hands its filters the rendered frame as the artist saw it: the sRGB curve
// over the scene-linear colour, or a display and view of an OpenColorIO config. Depth and IDs are
// data and never pass through it.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

namespace deepglass {

class DisplayColour {
public:
    // The sRGB curve (IEC 61966-2-1) over each of R, G and B.
    static std::shared_ptr<const DisplayColour> SrgbCurve();
    // The view `view` of the display `display` of the OpenColorIO config in the file `config`,
    // from its scene_linear role (its default colour space where it names none). A ToolError
    // naming the file and giving OpenColorIO's message when the config does not load, and naming
    // the displays or views it has when it has no such display or view.
    static std::shared_ptr<const DisplayColour>
    FromConfig(const std::string& config, const std::string& display, const std::string& view);
    // $OCIO's config with its default display and view.
    static std::shared_ptr<const DisplayColour> ConfigDefault(const std::string& config);

    virtual ~DisplayColour() = default;
    // Straight RGBA pixels, four floats each, transformed in place: R, G and B of a pixel whose
    // alpha lies between 0 and 1 are un-premultiplied first; alpha is kept. Safe from several
    // threads at once.
    virtual void Apply(std::span<float> rgba) const = 0;
    // What the transform is, for info.
    virtual std::string Text() const = 0;
};

// The display values of `count` greys evenly from 0 to 1 through the transform, clamped to 0..1:
// what a picture's colour chunk describes.
std::vector<float> GreyResponse(const DisplayColour& colour, int count);
// Whether a grey response is the sRGB curve's, to within 1/1024 everywhere.
bool IsSrgbResponse(const std::vector<float>& response);

// The sRGB curve's encoding of one linear value, clamped to 0..1 first (NaN as 0).
float SrgbEncoded(float linear);

// R, G and B of straight RGBA pixels un-premultiplied where alpha lies between 0 and 1.
void Unpremultiply(std::span<float> rgba);

} // namespace deepglass
