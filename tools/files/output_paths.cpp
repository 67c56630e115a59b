#include "files/output_paths.h"

#include <cctype>
#include <filesystem>

#include "cli/tool_error.h"

namespace fs = std::filesystem;

OutputFormat ParseFormat(const std::string& text)
{
    if (text == "png") return OutputFormat::PNG;
    if (text == "exr") return OutputFormat::EXR;
    throw UsageError("unknown format " + text + ": use --format png or exr");
}

bool HasExtension(const std::string& name, const std::string& extension)
{
    if (name.size() < extension.size()) return false;
    for (std::size_t i = 0; i < extension.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[name.size() - extension.size() + i])) !=
            extension[i])
            return false;
    return true;
}

void ResolveOutputTarget(OutputTarget& target, std::size_t inputCount)
{
    if (target.path.empty()) return;
    const bool looksLikeFile = HasExtension(target.path, ".png") || HasExtension(target.path, ".exr");
    target.isFolder = inputCount > 1 || target.path.back() == '/' || fs::is_directory(target.path);
    if (target.isFolder && looksLikeFile && !fs::is_directory(target.path))
        throw UsageError("several inputs are written into a folder, but -o " + target.path +
                         " looks like a file name");
    if (target.isFolder) return;
    if (!looksLikeFile)
        throw UsageError("the output " + target.path +
                         " must end in .png or .exr (or name a folder, ending in /)");
    const OutputFormat named = HasExtension(target.path, ".png") ? OutputFormat::PNG : OutputFormat::EXR;
    if (target.format && *target.format != named)
        throw UsageError("--format does not match the output name " + target.path);
    target.format = named;
}

std::vector<std::string> OutputPaths(const std::vector<std::string>& inputs, const OutputTarget& target)
{
    const std::string extension =
        target.format.value_or(OutputFormat::PNG) == OutputFormat::PNG ? ".png" : ".exr";
    std::vector<std::string> paths;
    for (const std::string& input : inputs) {
        if (target.path.empty())
            paths.push_back(fs::path(input).replace_extension(extension).string());
        else if (target.isFolder)
            paths.push_back(
                (fs::path(target.path) / fs::path(input).filename().replace_extension(extension)).string());
        else
            paths.push_back(target.path);
    }
    return paths;
}

std::string ViewOutputPath(const std::string& path, const std::string& view)
{
    const fs::path named(path);
    return (named.parent_path() / (named.stem().string() + "." + view + named.extension().string())).string();
}
