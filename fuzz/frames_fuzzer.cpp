// Any bytes as the frames of a shot: a --frames list ("1-100x2,7") and a frame pattern in a file
// name ("shot.%04d.exr", "shot.####.exr"). A list is refused with a UsageError or gives each frame
// once, none negative, within the count it is held to; a pattern filled in with a frame carries that
// frame's number where a file name can be read back.
//   input: LIST \0 PATH
#include <algorithm>
#include <cctype>
#include <string>

#include "base/tool_error.h"
#include "cli/option_values.h"
#include "fuzz_support.h"
#include "shot/frame_pattern.h"

using namespace deepglass;

namespace {

constexpr std::size_t SORTED_MAX = 1 << 14;
// Lists are held to fewer frames than the command line allows, so that each input stays quick
// (a million frames take milliseconds under the sanitizers); every path of the parser is reached
// with far fewer.
constexpr std::size_t FUZZ_FRAMES_MAX = 1 << 16;

void CheckList(const std::string& text)
{
    std::vector<int> frames;
    try {
        frames = ParseFrameRange(text, FUZZ_FRAMES_MAX);
    } catch (const UsageError& error) {
        FUZZ_REQUIRE(std::string(error.what()).rfind("--frames ", 0) == 0);
        return;
    }
    FUZZ_REQUIRE(!frames.empty() && frames.size() <= FUZZ_FRAMES_MAX);
    FUZZ_REQUIRE(std::all_of(frames.begin(), frames.end(), [](int frame) { return frame >= 0; }));
    // Each frame once; sorting a long list would cost more than parsing it, so only short ones.
    if (frames.size() > SORTED_MAX) return;
    std::sort(frames.begin(), frames.end());
    FUZZ_REQUIRE(std::adjacent_find(frames.begin(), frames.end()) == frames.end());
}

// Whether the number FrameNumberOf reads from a filled-in name is the frame alone: no digit
// follows the placeholder in the file name, and none but zeros comes right before it. Frames 1 and
// 2 differ in the placeholder's last digit only, which shows where it ends.
bool NumberReadsBack(const std::string& path)
{
    const std::string one = FramePath(path, 1);
    const std::string two = FramePath(path, 2);
    std::size_t last = 0;
    while (last < one.size() && one[last] == two[last]) ++last;
    const std::string after = one.substr(last + 1);
    return std::none_of(after.begin(), after.end(),
                        [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }) &&
           FrameNumberOf(one) == 1;
}

void CheckPattern(const std::string& path)
{
    FrameNumberOf(path);
    if (!HasFramePattern(path)) {
        FUZZ_REQUIRE(FramePath(path, 7) == path);
        return;
    }
    const bool readsBack = NumberReadsBack(path);
    for (int frame : {0, 7, 1234, 2147483647}) {
        const std::string filled = FramePath(path, frame);
        FUZZ_REQUIRE(filled.find(std::to_string(frame)) != std::string::npos);
        if (readsBack) FUZZ_REQUIRE(FrameNumberOf(filled) == frame);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = std::min(input.find('\0'), input.size());
    CheckList(input.substr(0, split));
    if (split < input.size()) CheckPattern(input.substr(split + 1));
    return 0;
}
