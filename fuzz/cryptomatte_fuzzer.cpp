// Any bytes as the texts a --matte selection reads: name patterns typed on the command line and
// the manifest a Cryptomatte layer holds in its header or in a sidecar file. Parsing ends in a
// manifest sorted by name or in a ToolError naming its source, and a selection holds only the IDs
// of names a pattern matches.
//   input: PATTERN \n PATTERN ... \0 MANIFEST   (a first byte of 's' reads the manifest from a file)
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "base/tool_error.h"
#include "cryptomatte/manifest.h"
#include "cryptomatte/matte_selection.h"
#include "cryptomatte/name_hash.h"
#include "cryptomatte/name_pattern.h"
#include "fuzz_support.h"

using namespace deepglass;

namespace {

// A pattern that stands for exactly `name`: each wildcard and backslash made plain.
std::string Escaped(const std::string& name)
{
    std::string text;
    for (char c : name) {
        if (c == '*' || c == '?' || c == '\\') text += '\\';
        text += c;
    }
    return text;
}

// The sidecar the manifest goes through when the input asks for it, one a fuzzing process.
const std::string& SidecarPath()
{
    struct Sidecar {
        std::string path = "/tmp/fuzz_cryptomatte." + std::to_string(getpid()) + ".json";
        ~Sidecar() { std::remove(path.c_str()); }
    };
    static const Sidecar sidecar;
    return sidecar.path;
}

std::optional<Manifest> ManifestOf(const std::string& text, bool sidecar)
{
    if (text.empty()) return std::nullopt;
    if (!sidecar) return ParseManifest(text, "the header");
    std::ofstream(SidecarPath(), std::ios::binary | std::ios::trunc) << text;
    Manifest read = ReadManifestFile(SidecarPath());
    const Manifest parsed = ParseManifest(text, "the header");
    FUZZ_REQUIRE(read.entries.size() == parsed.entries.size());
    return read;
}

// Whether every code point of `text` is whole: stray bytes made plain one by one may join into a
// letter once the pattern's plain characters are put together.
bool WholeCodePoints(const std::string& text)
{
    for (std::string_view point : CodePoints(text))
        if (point.size() == 1 && static_cast<unsigned char>(point[0]) >= 0x80) return false;
    return true;
}

void CheckPattern(const NamePattern& pattern, const std::optional<Manifest>& manifest)
{
    if (!pattern.HasWildcards() && WholeCodePoints(pattern.Text())) {
        FUZZ_REQUIRE(pattern.Matches(pattern.Literal()));
        FUZZ_REQUIRE(NamePattern(Escaped(pattern.Literal())).Matches(pattern.Literal()));
    }
    if (manifest && !manifest->entries.empty()) {
        const std::vector<std::string> names = manifest->Names();
        const std::vector<std::string> closest = ClosestNames(pattern, names, 3);
        FUZZ_REQUIRE(closest.size() == std::min<std::size_t>(3, names.size()));
        for (const std::string& name : closest)
            FUZZ_REQUIRE(std::find(names.begin(), names.end(), name) != names.end());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const bool sidecar = !input.empty() && input[0] == 's';
    const std::size_t split = std::min(input.find('\0'), input.size());
    const std::string manifestText = split < input.size() ? input.substr(split + 1) : std::string();

    std::vector<NamePattern> patterns;
    for (std::size_t start = sidecar ? 1 : 0; start < split;) {
        const std::size_t end = std::min(input.find('\n', start), split);
        const std::string text = input.substr(start, end - start);
        start = end + 1;
        if (PatternFaultOf(text) != PatternFault::NONE) {
            bool refused = false;
            try {
                NamePattern{text};
            } catch (const ToolError&) {
                refused = true;
            }
            FUZZ_REQUIRE(refused);
            continue;
        }
        patterns.emplace_back(text);
        // CodePoints splits the text without losing or adding a byte.
        std::string joined;
        for (std::string_view point : CodePoints(text)) joined += point;
        FUZZ_REQUIRE(joined == text);
    }

    std::optional<Manifest> manifest;
    try {
        manifest = ManifestOf(manifestText, sidecar);
    } catch (const ToolError& error) {
        const std::string message = error.what();
        FUZZ_REQUIRE(message.find(sidecar ? SidecarPath() : "the header") != std::string::npos);
        return 0;
    }
    if (manifest) {
        for (std::size_t i = 1; i < manifest->entries.size(); ++i)
            FUZZ_REQUIRE(manifest->entries[i - 1].name <= manifest->entries[i].name);
        for (const ManifestEntry& entry : manifest->entries) {
            if (entry.name.empty()) continue; // no pattern stands for the empty name
            const NamePattern exact(Escaped(entry.name));
            FUZZ_REQUIRE(exact.Matches(entry.name) && !exact.HasWildcards());
            FUZZ_REQUIRE(NamePattern("*").Matches(entry.name));
        }
    }
    for (const NamePattern& pattern : patterns) CheckPattern(pattern, manifest);

    try {
        const MatteSelection selection = SelectNames(manifest, patterns, "L");
        for (const std::string& name : selection.names) {
            const bool matched = std::any_of(patterns.begin(), patterns.end(),
                                             [&](const NamePattern& p) { return p.Matches(name); });
            FUZZ_REQUIRE(matched || !manifest);
        }
        if (manifest)
            for (std::uint32_t id : selection.ids)
                FUZZ_REQUIRE(std::any_of(manifest->entries.begin(), manifest->entries.end(),
                                         [&](const ManifestEntry& entry) { return entry.id == id; }));
    } catch (const ToolError& error) {
        FUZZ_REQUIRE(error.what()[0] != '\0');
    }
    return 0;
}
