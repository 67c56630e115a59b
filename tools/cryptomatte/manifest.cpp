#include "cryptomatte/manifest.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/tool_error.h"
#include "cryptomatte/name_hash.h"

namespace deepglass {

namespace {

// Far above the manifest of any real scene (a million names take some 30 MB); it keeps a path
// such as /dev/zero or a stray image from being read whole.
constexpr std::uintmax_t MANIFEST_MAX_BYTES = std::uintmax_t{256} << 20;

} // namespace

std::vector<std::string> Manifest::Names() const
{
    std::vector<std::string> names;
    for (const ManifestEntry& entry : entries) names.push_back(entry.name);
    return names;
}

Manifest ParseManifest(const std::string& text, const std::string& source)
{
    nlohmann::json json;
    try {
        json = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& error) { // a syntax error, or a number beyond a double
        throw ToolError(source + ": malformed manifest (" + error.what() + ")");
    }
    if (!json.is_object())
        throw ToolError(source + ": malformed manifest: a JSON " + json.type_name() +
                        " where an object of names and IDs belongs");
    Manifest manifest;
    for (const auto& [name, value] : json.items()) {
        const std::optional<std::uint32_t> id =
            value.is_string() ? ParseIdHex(value.get_ref<const std::string&>()) : std::nullopt;
        if (!id)
            throw ToolError(source + ": malformed manifest: the ID of \"" + name + "\" is " + value.dump() +
                            "; IDs are strings of 8 hex digits");
        manifest.entries.push_back({name, *id});
    }
    std::sort(manifest.entries.begin(), manifest.entries.end(),
              [](const ManifestEntry& a, const ManifestEntry& b) { return a.name < b.name; });
    return manifest;
}

Manifest ReadManifestFile(const std::string& path)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error) throw ToolError("cannot read the manifest " + path + ": " + error.message());
    if (!std::filesystem::is_regular_file(status))
        throw ToolError("cannot read the manifest " + path + ": it is no regular file");
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > MANIFEST_MAX_BYTES)
        throw ToolError("the manifest " + path + " is " + std::to_string(size >> 20) +
                        " MB, more than a manifest can be (" + std::to_string(MANIFEST_MAX_BYTES >> 20) +
                        " MB)");
    std::ifstream file(path, std::ios::binary);
    if (!file) throw ToolError("cannot read the manifest " + path + ": " + std::strerror(errno));
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad()) throw ToolError("cannot read the manifest " + path + ": " + std::strerror(errno));
    return ParseManifest(text, path);
}

} // namespace deepglass
