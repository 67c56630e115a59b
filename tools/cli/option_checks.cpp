#include "cli/option_checks.h"

#include <filesystem>

#include "base/number_text.h"
#include "base/tool_error.h"
#include "cryptomatte/name_pattern.h"
#include "shot/frame_pattern.h"

namespace deepglass {

namespace fs = std::filesystem;

std::shared_ptr<const DisplayColour> ResolveColour(const ColourChoice& choice, const char* config)
{
    const bool named = config != nullptr && *config != '\0';
    try {
        switch (choice.kind) {
        case ColourChoice::Kind::LINEAR: return nullptr;
        case ColourChoice::Kind::SRGB: return DisplayColour::SrgbCurve();
        case ColourChoice::Kind::AUTO:
            return named ? DisplayColour::ConfigDefault(config) : DisplayColour::SrgbCurve();
        case ColourChoice::Kind::DISPLAY_VIEW:
            if (!named)
                throw UsageError("--colour " + choice.display + "/" + choice.view +
                                 " names a display and view of an OpenColorIO config, but $OCIO names none");
            return DisplayColour::FromConfig(config, choice.display, choice.view);
        }
    } catch (const UsageError&) {
        throw;
    } catch (const ToolError& error) {
        throw UsageError(std::string("--colour: ") + error.what());
    }
    return nullptr;
}

void CheckFilterChoice(const FilterChoice& choice)
{
    if (!choice.configPath.empty() && (choice.mode || choice.id))
        throw UsageError("--config takes the mode and IDs from the record; give it without --mode and --id");
    if (!choice.id) return;
    const std::int32_t mode = choice.mode.value_or(MODE_WHOLE_IMAGE);
    if (mode == MODE_WHOLE_IMAGE)
        throw UsageError("--id selects pixels in --mode material or object; the whole mode takes no ID");
    const bool material = mode == MODE_MATERIAL_ID;
    const int low = material ? MATERIAL_ID_MIN : OBJECT_ID_MIN;
    const int high = material ? MATERIAL_ID_MAX : OBJECT_ID_MAX;
    if (*choice.id < low || *choice.id > high)
        throw UsageError("--id " + std::to_string(*choice.id) +
                         " is out of range: " + (material ? "material-effects IDs" : "object IDs") +
                         " run from " + std::to_string(low) + " to " + std::to_string(high));
}

void ResolveOutputTarget(OutputTarget& target, std::optional<OutputFormat> asked, std::size_t inputCount)
{
    target.format = asked.value_or(OutputFormat::PNG);
    if (target.path.empty()) return;
    std::error_code error;
    if (IsVideoName(target.path) && !fs::is_directory(target.path, error)) {
        const OutputFormat named = HasExtension(target.path, ".mkv") ? OutputFormat::MKV : OutputFormat::MP4;
        if (asked && *asked != named)
            throw UsageError("--format does not match the output name " + target.path);
        target.format = named;
        target.isFolder = false; // one video of every frame
        return;
    }
    const bool looksLikeFile = HasExtension(target.path, ".png") || HasExtension(target.path, ".exr");
    // A name the system cannot look up (too long, say) is no existing folder; writing to it reports why.
    const bool existingFolder = fs::is_directory(target.path, error);
    target.isFolder = inputCount > 1 || target.path.back() == '/' || existingFolder;
    if (target.isFolder && looksLikeFile && !existingFolder)
        throw UsageError("several inputs are written into a folder, but -o " + target.path +
                         " looks like a file name");
    if (target.isFolder) return;
    if (!looksLikeFile)
        throw UsageError("the output " + target.path +
                         " must end in .png, .exr, .mkv or .mp4 (or name a folder, ending in /)");
    const OutputFormat named = HasExtension(target.path, ".png") ? OutputFormat::PNG : OutputFormat::EXR;
    if (asked && *asked != named) throw UsageError("--format does not match the output name " + target.path);
    target.format = named;
}

void CheckShotInputs(const std::vector<std::string>& inputs, const std::vector<int>& frames)
{
    for (const std::string& input : inputs)
        if (HasFramePattern(input) && frames.empty())
            throw UsageError(input +
                             " is a frame pattern: say which frames with --frames (for example 1-100)");
}

void CheckRangeChoice(const RangeChoice& range)
{
    if (range.kind != RangeChoice::Kind::FIXED) return;
    const std::string given = NumberText(range.scale.nearest) + ":" + NumberText(range.scale.farthest);
    if (range.clip)
        throw UsageError("--clip " + range.clip->Text() +
                         " takes the scale's ends from percentiles of the "
                         "depths, and --range " +
                         given + " gives them outright: use one of the two");
    if (!CurveTakes(range.curve, range.scale))
        throw UsageError("--range " + given +
                         ": --curve inverse maps 1/depth, which has no grey at NEAR 0; "
                         "give NEAR above 0");
}

void ResolvePatternOutput(OutputTarget& target, std::optional<OutputFormat> asked)
{
    const bool png = HasExtension(target.path, ".png");
    if (IsVideoName(target.path))
        throw UsageError("the output " + target.path +
                         " is a video, one file holding every frame: name it without a frame pattern");
    if (!png && !HasExtension(target.path, ".exr"))
        throw UsageError("the output pattern " + target.path + " must end in .png or .exr");
    const OutputFormat named = png ? OutputFormat::PNG : OutputFormat::EXR;
    if (asked && *asked != named) throw UsageError("--format does not match the output name " + target.path);
    target.format = named;
    target.isFolder = false;
}

void CheckMatteRequest(const std::vector<std::string>& patterns, MatteRequest& request, FilterChoice& filter)
{
    if (patterns.empty()) {
        if (!request.layer.empty())
            throw UsageError("--cryptomatte picks the layer --matte selects from; give --matte too");
        return;
    }
    const std::int32_t mode = filter.mode.value_or(MODE_WHOLE_IMAGE);
    if (mode != MODE_MATERIAL_ID && mode != MODE_OBJECT_ID)
        throw UsageError(
            filter.configPath.empty()
                ? "--matte selects pixels in --mode object or material; the whole mode takes none"
                : "--matte needs --mode object or material, which --config cannot be given with");
    for (const std::string& text : patterns) {
        switch (PatternFaultOf(text)) {
        case PatternFault::EMPTY:
            throw UsageError("--matte needs a name or pattern; an empty one matches nothing");
        case PatternFault::LONE_BACKSLASH:
            throw UsageError("--matte " + text + " ends in a lone backslash; write \\\\ for a backslash");
        case PatternFault::NONE: request.patterns.emplace_back(text);
        }
    }
}

} // namespace deepglass
