// Any bytes as a PNG picture through `depth` and `info`, as the commands run them: the first byte
// chooses the options (the mapping the picture's own or given on the command line, level 0 far or
// empty), the rest is the picture. It is read (its samples and every text chunk), its depth
// mapping parsed, its levels made back into depth and written as an EXR frame, and described.
// Every path from its bytes must stay within its buffers and within the memory budget: a crash,
// an overrun, a leak, or memory steered past the budget (fuzz/smoke.sh holds the process to it)
// keeps the input. Inputs and outputs live in a scratch folder in memory where the system has one.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/tool_error.h"
#include "cli/command_line.h"
#include "commands/depth_command.h"
#include "commands/info_command.h"
#include "fuzz_scratch.h"

using namespace deepglass;

namespace fs = std::filesystem;

namespace {

// What each picture's read may take, which fuzz/smoke.sh's memory limit for this target holds.
constexpr const char* MAX_MEMORY = "16M";

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    MakeFuzzScratch("picture");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const FuzzScratch& scratch = TheFuzzScratch();
    ByteReader bytes(data, size);
    const std::uint8_t choice = bytes.Byte();
    const std::string picture = (scratch.folder / "in.png").string();
    {
        std::ofstream input(picture, std::ios::binary | std::ios::trunc);
        if (size > 1)
            input.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    std::vector<std::string> depth = {"depth", "--max-memory", MAX_MEMORY};
    static const char* const MAPPINGS[][4] = {{},
                                              {"--range", "1:10", "--curve", "linear"},
                                              {"--range", "0.5:20", "--curve", "inverse"},
                                              {"--curve", "inverse"}};
    for (const char* word : MAPPINGS[choice % 4])
        if (word != nullptr) depth.push_back(word);
    if (choice & 0x4) depth.insert(depth.end(), {"--level-zero", "empty"});
    depth.insert(depth.end(), {picture, "-o", (scratch.folder / "out.exr").string()});
    const int read = RunDepth(ParsedFuzzCommand(depth).depth, scratch.discard, scratch.discard);
    FUZZ_REQUIRE(read == EXIT_STATUS_OK || read == EXIT_STATUS_FAILED);
    const int described = RunInfo(ParsedFuzzCommand({"info", "--max-memory", MAX_MEMORY, picture}).info,
                                  scratch.discard, scratch.discard);
    FUZZ_REQUIRE(described == EXIT_STATUS_OK || described == EXIT_STATUS_FAILED);
    ClearFuzzScratch("in.png");
    return 0;
}
