// Frame numbers in file names, as the tools of this field write them: "shot.%04d.exr" or
// "shot.####.exr" stands for every frame of a range given as "1-100", "1-100x2" or "1,5,9-12".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace deepglass {

// Whether the file name part of `path` holds a frame number placeholder (%d, %0Nd or a run of #).
bool HasFramePattern(const std::string& path);

// `pattern` with its placeholder replaced by `frame`, zero-padded to the placeholder's width
// (%04d and #### both give 0007).
std::string FramePath(const std::string& pattern, int frame);

// The frame number a file name carries: its last run of digits, or nothing.
std::optional<int> FrameNumberOf(const std::string& path);

} // namespace deepglass
