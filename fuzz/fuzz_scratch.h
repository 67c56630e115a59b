// What the targets that run the tool's commands on a file share: a folder for the input and what the
// commands write, a stream for what they print, and the command line parsed.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/tool_error.h"
#include "cli/command_line.h"
#include "fuzz_support.h"

struct FuzzScratch {
    std::filesystem::path folder; // in /dev/shm where there is one; removed when the process ends
    std::FILE* discard = nullptr; // /dev/null, for what the commands print
};

inline FuzzScratch& TheFuzzScratch()
{
    static FuzzScratch scratch;
    return scratch;
}

// Makes the folder, deepglass-NAME-XXXXXX, and opens the stream; from LLVMFuzzerInitialize.
inline FuzzScratch& MakeFuzzScratch(const std::string& name)
{
    namespace fs = std::filesystem;
    FuzzScratch& scratch = TheFuzzScratch();
    const std::string base = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
    std::string pattern = base + "/deepglass-" + name + "-XXXXXX";
    FUZZ_REQUIRE(mkdtemp(pattern.data()) != nullptr);
    scratch.folder = pattern;
    scratch.discard = std::fopen("/dev/null", "w");
    FUZZ_REQUIRE(scratch.discard != nullptr);
    std::atexit([] { std::filesystem::remove_all(TheFuzzScratch().folder); });
    return scratch;
}

// Removes what an input left in the folder, all but the file named `kept`.
inline void ClearFuzzScratch(const std::string& kept = "")
{
    for (const std::filesystem::directory_entry& entry :
         std::filesystem::directory_iterator(TheFuzzScratch().folder))
        if (entry.path().filename() != kept) std::filesystem::remove_all(entry.path());
}

// The command `words` name: the target makes only lines the tool takes, so a usage error breaks its
// own rule.
inline deepglass::Command ParsedFuzzCommand(const std::vector<std::string>& words)
{
    try {
        return deepglass::ParseCommandLine(words);
    } catch (const deepglass::UsageError& error) {
        std::fprintf(stderr, "options refused: %s\n", error.what());
        FUZZ_REQUIRE(false);
    }
    return {};
}
