// What a rerun removes of the temporaries an output's writers left: those of writers on this host
// that are gone (also when their process id has been taken since), those of other hosts only when
// a day old; never a live writer's, never another output's.
#include <gmock/gmock.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "base/machine.h"
#include "output/atomic_output.h"

using namespace deepglass;

namespace fs = std::filesystem;
using ::testing::UnorderedElementsAreArray;

namespace {

// A process id that names no process: a child that has ended and been reaped.
int GonePid()
{
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return static_cast<int>(child);
}

TEST(DeadWriters, OnlyTheTemporariesOfWritersThatNoLongerRunAreRemoved)
{
    ASSERT_FALSE(HostName().empty());
    const fs::path folder = fs::temp_directory_path() / ("deepglass-temporaries-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    // A process started now, after every "old" temporary below was last written.
    const pid_t young = fork();
    if (young == 0) {
        pause();
        _exit(0);
    }
    const std::string host = HostName();
    const std::string random = ".0123456789abcdef.tmp";
    const std::string gone = std::to_string(GonePid());
    const auto hoursAgo = [](int hours) {
        return fs::file_time_type::clock::now() - std::chrono::hours(hours);
    };
    struct Case {
        std::string name;
        int hoursOld;
        bool removed;
    };
    const Case cases[] = {
        {".f.png." + host + "." + gone + random, 0, true},                       // gone
        {".f.png." + host + "." + std::to_string(getpid()) + random, 0, false},  // this process
        {".f.png." + host + "." + std::to_string(getppid()) + random, 0, false}, // live, started before
        {".f.png." + host + "." + std::to_string(young) + ".00000000000000aa.tmp", 1, true}, // id taken since
        {".f.png.other_host." + gone + random, 0, false},                   // elsewhere, fresh
        {".f.png.other_host." + gone + ".00000000000000bb.tmp", 48, true},  // elsewhere, abandoned
        {".f.png." + gone + random, 0, false},                              // no host: elsewhere
        {".f.png.x.png." + host + "." + gone + random, 0, false},           // another output's
        {".g.png." + host + "." + gone + random, 0, false},                 // another output's
        {".f.png." + host + "." + gone + ".0123456789abcde.tmp", 0, false}, // not a temporary name
        {"f.png." + host + "." + gone + random, 0, false},                  // not hidden
    };
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        std::ofstream(folder / c.name) << "partial";
        fs::last_write_time(folder / c.name, hoursAgo(c.hoursOld));
        if (c.removed) expected.push_back((folder / c.name).string());
    }
    EXPECT_THAT(RemoveDeadWritersTemporaries((folder / "f.png").string()),
                UnorderedElementsAreArray(expected));
    for (const Case& c : cases) EXPECT_EQ(fs::exists(folder / c.name), !c.removed) << c.name;
    // The folder is listed once: what is left stays left, and nothing is removed twice.
    EXPECT_TRUE(RemoveDeadWritersTemporaries((folder / "f.png").string()).empty());
    kill(young, SIGKILL);
    waitpid(young, nullptr, 0);
    fs::remove_all(folder);
}

} // namespace
