#include "shot/output_paths.h"

#include <cctype>
#include <filesystem>

namespace deepglass {

namespace fs = std::filesystem;

bool HasExtension(const std::string& name, const std::string& extension)
{
    if (name.size() < extension.size()) return false;
    for (std::size_t i = 0; i < extension.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[name.size() - extension.size() + i])) !=
            extension[i])
            return false;
    return true;
}

bool IsVideoName(const std::string& name) { return HasExtension(name, ".mkv") || HasExtension(name, ".mp4"); }

std::vector<std::string> OutputPaths(const std::vector<std::string>& inputs, const OutputTarget& target)
{
    const std::string extension = target.format == OutputFormat::PNG ? ".png" : ".exr";
    std::vector<std::string> paths;
    for (const std::string& input : inputs) {
        if (IsVideo(target.format))
            paths.push_back(target.path);
        else if (target.path.empty())
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

} // namespace deepglass
