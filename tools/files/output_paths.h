// Where `apply` writes: the output named on the command line, a folder, or beside each input.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

enum class OutputFormat { PNG, EXR };

struct OutputTarget {
    std::string path; // empty: each picture beside its input
    bool isFolder = false;
    std::optional<OutputFormat> format; // from --format, else from the output name, else PNG
};

// "png" or "exr"; a UsageError otherwise.
OutputFormat ParseFormat(const std::string& text);
// Whether `name` ends in `extension` (lower case, with its dot), in any case.
bool HasExtension(const std::string& name, const std::string& extension);

// Settles whether the target is a folder (several inputs, a trailing "/" or an existing folder)
// and takes a file's format from its name; a UsageError where name, inputs and format disagree.
void ResolveOutputTarget(OutputTarget& target, std::size_t inputCount);

// The output file of each input, in order.
std::vector<std::string> OutputPaths(const std::vector<std::string>& inputs, const OutputTarget& target);

// `path` with a view's name before its extension, so that each view of a frame gets its own
// output: grey/shot.0001.png and view left give grey/shot.0001.left.png.
std::string ViewOutputPath(const std::string& path, const std::string& view);
