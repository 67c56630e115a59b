// Any bytes as a video read back by `depth`, as the command runs it: the first byte chooses the
// file's name (.mkv or .mp4) and the options (a scale and curve given on the command line, level 0
// as nothing rendered), the rest is the file. Whatever the file claims (sizes, frames, metadata,
// a stream cut short), every path from its bytes to the EXR frames written must stay within its
// buffers and its memory budget: a crash, an overrun or a leak keeps the input.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/tool_error.h"
#include "cli/command_line.h"
#include "commands/depth_command.h"
#include "fuzz_scratch.h"

using namespace deepglass;

namespace fs = std::filesystem;

namespace {

// Each video's frames are held to this, which keeps every run quick under the sanitizers.
constexpr const char* MAX_MEMORY = "8M";

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    MakeFuzzScratch("video");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const FuzzScratch& scratch = TheFuzzScratch();
    ByteReader bytes(data, size);
    const std::uint8_t choice = bytes.Byte();
    const fs::path video = scratch.folder / (choice & 1 ? "in.mp4" : "in.mkv");
    {
        std::ofstream input(video, std::ios::binary | std::ios::trunc);
        if (size > 1)
            input.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    std::vector<std::string> words = {"depth",    "--max-memory",
                                      MAX_MEMORY, video.string(),
                                      "-o",       (scratch.folder / "out" / "d.%04d.exr").string()};
    if (choice & 2)
        words.insert(words.end(), {"--range", "0.5:20", "--curve", choice & 4 ? "inverse" : "linear"});
    if (choice & 8) words.insert(words.end(), {"--level-zero", "empty"});
    const int status = RunDepth(ParsedFuzzCommand(words).depth, scratch.discard, scratch.discard);
    FUZZ_REQUIRE(status == EXIT_STATUS_OK || status == EXIT_STATUS_FAILED);
    ClearFuzzScratch();
    return 0;
}
