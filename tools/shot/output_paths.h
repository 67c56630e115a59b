// Where `apply` writes: the output named on the command line, a folder, or beside each input; or
// one video of every frame.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace deepglass {

enum class OutputFormat { PNG, EXR, MKV, MP4 };

// A video of the shot's frames, one file for the whole run.
inline bool IsVideo(OutputFormat format)
{
    return format == OutputFormat::MKV || format == OutputFormat::MP4;
}

struct OutputTarget {
    std::string path; // empty: each picture beside its input
    bool isFolder = false;
    OutputFormat format = OutputFormat::PNG; // from the output name, else --format, else PNG
};

// Whether `name` ends in `extension` (lower case, with its dot), in any case.
bool HasExtension(const std::string& name, const std::string& extension);

// Whether `name` ends in .mkv or .mp4, the videos the tool writes and reads.
bool IsVideoName(const std::string& name);

// The output file of each input, in order.
std::vector<std::string> OutputPaths(const std::vector<std::string>& inputs, const OutputTarget& target);

// `path` with a view's name before its extension, so that each view of a frame gets its own
// output: grey/shot.0001.png and view left give grey/shot.0001.left.png.
std::string ViewOutputPath(const std::string& path, const std::string& view);

} // namespace deepglass
