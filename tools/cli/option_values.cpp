#include "cli/option_values.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <numeric>

#include "base/number_text.h"
#include "base/tool_error.h"
#include "cli/option_table.h"
#include "deepglass_interface.h"

namespace deepglass {

namespace {

int FrameNumber(const std::string& text, const std::string& whole)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < 0)
        throw UsageError("--frames " + whole + ": " + (text.empty() ? "an empty part" : text) +
                         " is no frame number (frames are whole numbers from 0)");
    return value;
}

} // namespace

std::int32_t ParseMode(const std::string& text)
{
    if (text == "whole") return MODE_WHOLE_IMAGE;
    if (text == "material") return MODE_MATERIAL_ID;
    if (text == "object") return MODE_OBJECT_ID;
    throw UsageError("unknown mode " + text + ": use --mode whole, material or object");
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
    if (text == "auto") return DEFAULT_BACKGROUND;
    throw UsageError("--background " + text + ": use auto, none, alpha or depth:V");
}

void ParseRange(const std::string& text, RangeChoice& range)
{
    if (text == "frame" || text == "shot") {
        range.kind = text == "frame" ? RangeChoice::Kind::FRAME : RangeChoice::Kind::SHOT;
        return;
    }
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos)
        throw UsageError("--range " + text +
                         ": use frame, shot or NEAR:FAR (depth magnitudes, such as 2.5:40)");
    float ends[2];
    const std::string parts[2] = {text.substr(0, colon), text.substr(colon + 1)};
    for (int k = 0; k < 2; ++k) {
        char* end = nullptr;
        errno = 0;
        ends[k] = std::strtof(parts[k].c_str(), &end);
        if (parts[k].empty() || *end != '\0' || errno != 0 || !std::isfinite(ends[k]))
            throw UsageError("--range " + text + ": " +
                             (parts[k].empty() ? std::string("an empty end") : parts[k]) +
                             " is not a depth magnitude (give a number such as 2.5)");
        if (ends[k] < 0.0f || std::signbit(ends[k]))
            throw UsageError("--range " + text + ": " + parts[k] +
                             " is negative; NEAR and FAR are depth magnitudes");
    }
    if (!(ends[1] < DEPTH_LIMIT))
        throw UsageError("--range " + text + ": FAR must lie below " + ExponentText(DEPTH_LIMIT) +
                         ", where depths take no part in a scale");
    if (!(ends[0] < ends[1])) throw UsageError("--range " + text + ": NEAR must be nearer than FAR");
    range.kind = RangeChoice::Kind::FIXED;
    range.scale = {ends[0], ends[1]};
}

DepthClip ParseClip(const std::string& text)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos)
        throw UsageError("--clip " + text + ": use LOW:HIGH, percentiles such as 1:99");
    double ends[2];
    const std::string parts[2] = {text.substr(0, colon), text.substr(colon + 1)};
    for (int k = 0; k < 2; ++k) {
        char* end = nullptr;
        errno = 0;
        ends[k] = std::strtod(parts[k].c_str(), &end);
        if (parts[k].empty() || *end != '\0' || errno != 0 || std::isnan(ends[k]))
            throw UsageError("--clip " + text + ": " +
                             (parts[k].empty() ? std::string("an empty end") : parts[k]) +
                             " is not a percentile (give a number from 0 to 100, such as 1 or 99.5)");
        if (!(ends[k] >= 0.0 && ends[k] <= 100.0))
            throw UsageError("--clip " + text + ": " + parts[k] + " lies outside 0 to 100");
    }
    if (!(ends[0] < ends[1])) throw UsageError("--clip " + text + ": LOW must lie below HIGH");
    return {ends[0], ends[1]};
}

DepthCurve ParseCurve(const std::string& text)
{
    if (text == "linear") return DepthCurve::LINEAR;
    if (text == "inverse") return DepthCurve::INVERSE;
    throw UsageError("--curve " + text + ": use linear or inverse");
}

ColourChoice ParseColour(const std::string& text)
{
    if (text == "auto") return {};
    if (text == "srgb") return {ColourChoice::Kind::SRGB, {}, {}};
    if (text == "linear") return {ColourChoice::Kind::LINEAR, {}, {}};
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == text.size())
        throw UsageError("--colour " + text + ": use auto, srgb, linear or DISPLAY/VIEW");
    return {ColourChoice::Kind::DISPLAY_VIEW, text.substr(0, slash), text.substr(slash + 1)};
}

PngKind ParsePngKind(const std::string& text)
{
    if (text == "grey" || text == "gray") return PngKind::GREY;
    if (text == "rgba") return PngKind::RGBA;
    throw UsageError("--png " + text + ": use grey or rgba");
}

PngCompression ParsePngCompression(const std::string& text)
{
    if (text == "fast") return PngCompression::FAST;
    if (text == "default") return PngCompression::DEFAULT;
    if (text == "small") return PngCompression::SMALL;
    throw UsageError("--png-compression " + text + ": use fast, default or small");
}

int ParseBits(const std::string& text)
{
    if (text == "8" || text == "16") return std::stoi(text);
    throw UsageError("--bits " + text + ": a PNG's samples have 8 or 16 bits");
}

bool ParseLevelZero(const std::string& text)
{
    if (text == "far" || text == "empty") return text == "empty";
    throw UsageError("--level-zero " + text + ": use far or empty");
}

bool ParseRangeOver(const std::string& text)
{
    if (text == "frame" || text == "selection") return text == "selection";
    throw UsageError("--range-over " + text + ": use frame or selection");
}

OutputFormat ParseFormat(const std::string& text)
{
    if (text == "png") return OutputFormat::PNG;
    if (text == "exr") return OutputFormat::EXR;
    throw UsageError("unknown format " + text + ": use --format png or exr");
}

VideoRate ParseFps(const std::string& text)
{
    const auto fail = [&text]() -> VideoRate {
        throw UsageError("--fps " + text + ": give frames a second from " + NumberText(VIDEO_RATE_MIN) +
                         " to " + NumberText(VIDEO_RATE_MAX) +
                         " as N, N/D (such as 24000/1001) or a decimal (29.97)");
    };
    const auto whole = [&](const std::string& part) {
        int value = 0;
        const char* end = part.data() + part.size();
        const auto [stop, error] = std::from_chars(part.data(), end, value);
        if (part.empty() || error != std::errc() || stop != end || value < 0 || value > VIDEO_RATE_TERM_MAX)
            fail();
        return value;
    };
    VideoRate rate;
    const std::size_t slash = text.find('/');
    const std::size_t point = text.find('.');
    if (slash != std::string::npos) {
        rate = {whole(text.substr(0, slash)), whole(text.substr(slash + 1))};
    } else if (point != std::string::npos) {
        const std::string fraction = text.substr(point + 1);
        if (fraction.empty() || fraction.size() > 3) fail();
        int denominator = 1;
        for (std::size_t digit = 0; digit < fraction.size(); ++digit) denominator *= 10;
        rate = {whole(text.substr(0, point) + fraction), denominator};
    } else {
        rate = {whole(text), 1};
    }
    const int common = std::gcd(rate.numerator, rate.denominator);
    if (common > 1) rate = {rate.numerator / common, rate.denominator / common};
    if (!RateTaken(rate)) fail();
    return rate;
}

int ParseVideoQuality(const std::string& text)
{
    const int quality = ParseWholeNumber("--video-quality", text);
    if (quality < VIDEO_QUALITY_MIN || quality > VIDEO_QUALITY_MAX)
        throw UsageError("--video-quality " + text + ": H.264's CRF runs from " +
                         std::to_string(VIDEO_QUALITY_MIN) + " (best) to " +
                         std::to_string(VIDEO_QUALITY_MAX) +
                         "; 0, lossless, is read by few players: write .mkv for that");
    return quality;
}

std::uint64_t ParseMemorySize(const std::string& text)
{
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    const std::string unit = text.substr(digits);
    int shift = -1;
    if (unit.empty())
        shift = 0;
    else if (unit == "K" || unit == "k")
        shift = 10;
    else if (unit == "M" || unit == "m")
        shift = 20;
    else if (unit == "G" || unit == "g")
        shift = 30;
    else if (unit == "T" || unit == "t")
        shift = 40;
    if (digits == 0 || digits > 12 || shift < 0)
        throw UsageError("--max-memory " + text + ": give a size such as 800M or 4G");
    const std::uint64_t value = std::stoull(text.substr(0, digits));
    if (value == 0 || value > (std::uint64_t{1} << (63 - shift)))
        throw UsageError("--max-memory " + text + ": give a size such as 800M or 4G");
    return value << shift;
}

std::vector<int> ParseFrameRange(const std::string& text, std::size_t maxCount)
{
    // Each part as first, last and step, the frames it names counted before any is listed, so
    // that a list naming a vast number of frames (also many times over) is refused at once.
    struct Part {
        int first, last, step;
    };
    std::vector<Part> parts;
    std::uint64_t named = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string part = text.substr(start, comma - start);
        start = comma + 1;
        const std::size_t dash = part.find('-');
        const std::size_t by = part.find('x');
        const int first = FrameNumber(part.substr(0, std::min(dash, by)), text);
        int last = first;
        int step = 1;
        if (dash != std::string::npos)
            last = FrameNumber(
                part.substr(dash + 1, by == std::string::npos ? std::string::npos : by - dash - 1), text);
        if (by != std::string::npos) {
            if (dash == std::string::npos || by < dash)
                throw UsageError("--frames " + text + ": a step (x N) follows a range, as in 1-100x2");
            step = FrameNumber(part.substr(by + 1), text);
            if (step == 0) throw UsageError("--frames " + text + ": the step of " + part + " is 0");
        }
        if (last < first) throw UsageError("--frames " + text + ": the range " + part + " runs backwards");
        named += (static_cast<std::uint64_t>(last) - static_cast<std::uint64_t>(first)) /
                     static_cast<std::uint64_t>(step) +
                 1;
        if (named > maxCount)
            throw UsageError("--frames " + text + " names more than " + std::to_string(maxCount) + " frames");
        parts.push_back({first, last, step});
    }
    // A frame named again is left out. Each frame is sorted as one key with where it was named in
    // its low 32 bits (a list holds fewer frames than that), so that among equal frames the first
    // named comes first. The keys are distinct, so any sort gives the same order; a merge sort takes
    // any list in the same time, where runs of rising frames can drive a quicksort to its slowest.
    std::vector<std::uint64_t> byFrame;
    byFrame.reserve(named);
    for (const Part& part : parts)
        for (long long frame = part.first; frame <= part.last; frame += part.step)
            byFrame.push_back(static_cast<std::uint64_t>(frame) << 32 | byFrame.size());
    std::vector<int> frames(byFrame.size());
    for (std::size_t i = 0; i < byFrame.size(); ++i) frames[i] = static_cast<int>(byFrame[i] >> 32);
    std::stable_sort(byFrame.begin(), byFrame.end());
    std::vector<bool> repeated(frames.size(), false);
    for (std::size_t i = 1; i < byFrame.size(); ++i)
        if (byFrame[i] >> 32 == byFrame[i - 1] >> 32) repeated[byFrame[i] & 0xFFFFFFFFu] = true;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < frames.size(); ++i)
        if (!repeated[i]) frames[kept++] = frames[i];
    frames.resize(kept);
    return frames;
}

} // namespace deepglass
