#include "shot/input_files.h"

#include <sys/stat.h>

#include <filesystem>

#include "base/tool_error.h"

namespace deepglass {

namespace fs = std::filesystem;

InputFiles::InputFiles(const std::vector<std::string>& inputs)
{
    for (const std::string& input : inputs) {
        struct stat status {};
        if (::stat(input.c_str(), &status) == 0)
            byFile.emplace(std::make_pair(status.st_dev, status.st_ino), input);
        std::error_code error;
        const fs::path canonical = fs::weakly_canonical(input, error);
        if (!error) byPath.emplace(canonical.string(), input);
    }
}

void InputFiles::RefuseOverwrite(const std::string& output) const
{
    const std::string* input = nullptr;
    struct stat status {};
    if (::stat(output.c_str(), &status) == 0) {
        const auto found = byFile.find({status.st_dev, status.st_ino});
        if (found != byFile.end()) input = &found->second;
    }
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(output, error);
    if (input == nullptr && !error) {
        const auto found = byPath.find(canonical.string());
        if (found != byPath.end()) input = &found->second;
    }
    if (input != nullptr)
        throw ToolError("the output " + output + " is the input " + *input +
                        "; inputs are never written over");
}

} // namespace deepglass
