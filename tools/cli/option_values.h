// What the values typed after the options mean: each parsed into the type the work takes, or a
// UsageError naming the option and what is wrong with its value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/command.h"
#include "frame/background.h"
#include "shot/output_paths.h"

namespace deepglass {

// The largest frame range a command line may name; far more frames than any shot holds.
constexpr std::size_t FRAME_RANGE_MAX_COUNT = 1000000;

// --mode: the mode value of "whole", "material" or "object".
std::int32_t ParseMode(const std::string& text);
// --background: "none", "alpha" or "depth:V" (V a number, inf or -inf).
BackgroundRule ParseBackground(const std::string& text);
// --range: "frame", "shot" or "NEAR:FAR" (magnitudes, NEAR below FAR, FAR below the depth limit);
// the choice's other fields as they were.
void ParseRange(const std::string& text, RangeChoice& range);
// --clip: "LOW:HIGH", percentages with 0 <= LOW < HIGH <= 100.
DepthClip ParseClip(const std::string& text);
// --curve: "linear" or "inverse".
DepthCurve ParseCurve(const std::string& text);
// --level-zero: "far" (false) or "empty" (true).
bool ParseLevelZero(const std::string& text);
// --range-over: "frame" or "selection".
bool ParseRangeOver(const std::string& text);
// --png: "grey" or "rgba".
// --colour: auto, srgb, linear or DISPLAY/VIEW (split at the first slash).
ColourChoice ParseColour(const std::string& text);
PngKind ParsePngKind(const std::string& text);
// --png-compression: "fast", "default" or "small".
PngCompression ParsePngCompression(const std::string& text);
// --bits: 8 or 16.
int ParseBits(const std::string& text);
// --format: "png" or "exr".
OutputFormat ParseFormat(const std::string& text);
// --fps: frames a second as "N", "N/D" (24000/1001) or a decimal (29.97), which a video takes.
VideoRate ParseFps(const std::string& text);
// --video-quality: H.264's CRF, VIDEO_QUALITY_MIN to VIDEO_QUALITY_MAX.
int ParseVideoQuality(const std::string& text);
// --max-memory: a size such as 1536, 512K, 800M or 2G (powers of 1024).
std::uint64_t ParseMemorySize(const std::string& text);
// --frames: the frames of "1-100", "1-100x2" (every second) or "1,5,9-12", in the order given,
// each once (the first naming kept); a UsageError when they are more than `maxCount`, which is
// below 2^32.
std::vector<int> ParseFrameRange(const std::string& text, std::size_t maxCount = FRAME_RANGE_MAX_COUNT);

} // namespace deepglass
