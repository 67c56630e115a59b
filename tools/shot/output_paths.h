// Where `apply` writes: the output named on the command line, a folder, or beside each input.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace deepglass {

enum class OutputFormat { PNG, EXR };

struct OutputTarget {
    std::string path; // empty: each picture beside its input
    bool isFolder = false;
    OutputFormat format = OutputFormat::PNG; // from the output name, else --format, else PNG
};

// Whether `name` ends in `extension` (lower case, with its dot), in any case.
bool HasExtension(const std::string& name, const std::string& extension);

// The output file of each input, in order.
std::vector<std::string> OutputPaths(const std::vector<std::string>& inputs, const OutputTarget& target);

// `path` with a view's name before its extension, so that each view of a frame gets its own
// output: grey/shot.0001.png and view left give grey/shot.0001.left.png.
std::string ViewOutputPath(const std::string& path, const std::string& view);

} // namespace deepglass
