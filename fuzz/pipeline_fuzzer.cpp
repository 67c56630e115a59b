// Any bytes as a frame through the whole of `apply`, as the command runs it: the first bytes choose
// the options (mode and ID, output kind or a video, background rule, range and curve, views, a Cryptomatte
// matte), the rest is the EXR file. The file is read, handed to the module and written, and every path from
// its bytes to the output must stay within its buffers: a crash, an overrun or a leak keeps the
// input. The module is loaded once; inputs and outputs live in a scratch folder in memory where
// the system has one.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/tool_error.h"
#include "cli/command_line.h"
#include "commands/apply_command.h"
#include "fuzz_scratch.h"
#include "module/filter_runner.h"

using namespace deepglass;

namespace fs = std::filesystem;

namespace {

// Each input is held to this budget, which keeps every run quick under the sanitizers; fuzz/smoke.sh
// holds the process to it, so that memory a file steers past it is a finding.
constexpr const char* MAX_MEMORY = "8M";

// The module, loaded once for every input.
std::unique_ptr<FilterRunner>& TheFilter()
{
    static std::unique_ptr<FilterRunner> filter;
    return filter;
}

// The options the first bytes choose; every combination is one the command line accepts.
std::vector<std::string> OptionsOf(ByteReader& bytes, const fs::path& folder)
{
    const std::uint8_t choice = bytes.Byte();
    const std::uint8_t id = bytes.Byte();
    const std::uint8_t rule = bytes.Byte();
    std::vector<std::string> words = {"apply", "-j", "1", "--max-memory", MAX_MEMORY};
    const int mode = choice % 3;
    static const char* const MODES[] = {"whole", "material", "object"};
    words.insert(words.end(), {"--mode", MODES[mode]});
    if (mode != 0) {
        const int most = mode == 1 ? 8 : 65535;
        words.insert(words.end(), {"--id", std::to_string(1 + id % most)});
        if (choice & 0x80) words.insert(words.end(), {"--matte", id & 1 ? "*" : "box"});
        if (rule & 0x40) words.insert(words.end(), {"--range-over", "selection"});
    }
    static const char* const RULES[] = {"auto", "none", "alpha", "depth:-1e30"};
    words.insert(words.end(), {"--background", RULES[rule % 4]});
    const bool video = choice & 0x20;
    static const char* const RANGES[] = {"frame", "shot", "0.5:20"};
    // A video holds one scale.
    const int range = (rule >> 2) % 3;
    words.insert(words.end(), {"--range", RANGES[video && range == 0 ? 1 : range]});
    if (rule & 0x80) words.insert(words.end(), {"--curve", "inverse"});
    if ((choice & 0x40) && !video) words.insert(words.end(), {"--view", "all"});
    std::string output = (folder / "out").string();
    if (video) {
        // An .mp4 holds the whole mode's 8-bit grey alone; an .mkv any picture.
        const bool mp4 = mode == 0 && (id & 0x80);
        if (!mp4 && (choice & 0x08)) words.insert(words.end(), {"--bits", "8"});
        if (choice & 0x04) words.push_back("--opaque");
        words.insert(words.end(), {(folder / "in.exr").string(), "-o", output + (mp4 ? ".mp4" : ".mkv")});
        return words;
    }
    switch ((choice >> 2) % 4) {
    case 0: output += ".png"; break;
    case 1:
        output += ".png";
        words.insert(words.end(), {"--png", "rgba", "--bits", "8"});
        break;
    case 2:
        output += ".png";
        words.insert(words.end(), {"--png", "rgba", "--opaque", "--colour", "linear"});
        break;
    default: output += ".exr"; break;
    }
    words.insert(words.end(), {(folder / "in.exr").string(), "-o", output});
    return words;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    MakeFuzzScratch("pipeline");
    TheFilter() = std::make_unique<FilterRunner>(ModulePath(""));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const FuzzScratch& scratch = TheFuzzScratch();
    ByteReader bytes(data, size);
    const std::vector<std::string> words = OptionsOf(bytes, scratch.folder);
    const std::size_t optionBytes = 3;
    {
        std::ofstream input(scratch.folder / "in.exr", std::ios::binary | std::ios::trunc);
        if (size > optionBytes)
            input.write(reinterpret_cast<const char*>(data + optionBytes),
                        static_cast<std::streamsize>(size - optionBytes));
    }
    const int status =
        RunApply(*TheFilter(), ParsedFuzzCommand(words).apply, scratch.discard, scratch.discard);
    FUZZ_REQUIRE(status == EXIT_STATUS_OK || status == EXIT_STATUS_FAILED);
    ClearFuzzScratch("in.exr");
    return 0;
}
