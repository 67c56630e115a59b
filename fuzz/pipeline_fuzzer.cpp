// Any bytes as a frame through the whole of `apply`, as the command runs it: the first bytes choose
// the options (mode and ID, output kind, background rule, range and curve, views, a Cryptomatte matte), the
// rest is the EXR file. The file is read, handed to the module and written, and every path from
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
#include "fuzz_support.h"
#include "module/filter_runner.h"

using namespace deepglass;

namespace fs = std::filesystem;

namespace {

// Each input is held to this budget, which keeps every run quick under the sanitizers; fuzz/smoke.sh
// holds the process to it, so that memory a file steers past it is a finding.
constexpr const char* MAX_MEMORY = "8M";

struct Scratch {
    fs::path folder;
    std::unique_ptr<FilterRunner> filter;
    std::FILE* discard = nullptr;
};

Scratch& TheScratch()
{
    static Scratch scratch;
    return scratch;
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
    static const char* const RANGES[] = {"frame", "shot", "0.5:20"};
    words.insert(words.end(), {"--range", RANGES[(rule >> 2) % 3]});
    if (rule & 0x80) words.insert(words.end(), {"--curve", "inverse"});
    if (choice & 0x40) words.insert(words.end(), {"--view", "all"});
    std::string output = (folder / "out").string();
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
    Scratch& scratch = TheScratch();
    std::string base = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
    std::string pattern = base + "/deepglass-pipeline-XXXXXX";
    FUZZ_REQUIRE(mkdtemp(pattern.data()) != nullptr);
    scratch.folder = pattern;
    scratch.filter = std::make_unique<FilterRunner>(ModulePath(""));
    scratch.discard = std::fopen("/dev/null", "w");
    FUZZ_REQUIRE(scratch.discard != nullptr);
    std::atexit([] { fs::remove_all(TheScratch().folder); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Scratch& scratch = TheScratch();
    ByteReader bytes(data, size);
    const std::vector<std::string> words = OptionsOf(bytes, scratch.folder);
    const std::size_t optionBytes = 3;
    {
        std::ofstream input(scratch.folder / "in.exr", std::ios::binary | std::ios::trunc);
        if (size > optionBytes)
            input.write(reinterpret_cast<const char*>(data + optionBytes),
                        static_cast<std::streamsize>(size - optionBytes));
    }
    Command command;
    try {
        command = ParseCommandLine(words);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "options refused: %s\n", error.what());
        FUZZ_REQUIRE(false);
    }
    const int status = RunApply(*scratch.filter, command.apply, scratch.discard, scratch.discard);
    FUZZ_REQUIRE(status == EXIT_STATUS_OK || status == EXIT_STATUS_FAILED);
    for (const fs::directory_entry& entry : fs::directory_iterator(scratch.folder))
        if (entry.path().filename() != "in.exr") fs::remove_all(entry.path());
    return 0;
}
