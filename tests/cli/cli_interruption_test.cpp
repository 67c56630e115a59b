// A run stopped as a farm stops it (SIGKILL, at any moment) and run again with --skip-existing:
// every picture as an uninterrupted run writes it, and no temporary left. A run stopped by SIGINT,
// SIGTERM or SIGHUP while it writes: its temporary removed at once. And a header that claims
// far more than its file holds: refused by every path that opens the file, before anything is
// allocated for the claim.
#include <gmock/gmock.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <thread>

#include "cli_support.h"

using ::testing::HasSubstr;

namespace fs = std::filesystem;

namespace {

constexpr int FRAMES = 8;

std::string Bytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

int CountNames(const fs::path& folder, const std::string& ending)
{
    int count = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        count += name.size() >= ending.size() &&
                 name.compare(name.size() - ending.size(), ending.size(), ending) == 0;
    }
    return count;
}

class Interruption : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        // Large enough that writing a frame takes a while, small enough that a run takes well
        // under a second.
        const int width = 320, height = 240;
        for (int frame = 1; frame <= FRAMES; ++frame) {
            std::vector<double> depth;
            for (int i = 0; i < width * height; ++i)
                depth.push_back(-1.0 - ((i * 7 + frame * 13) % 997) / 10.0);
            const std::string name = "f.000" + std::to_string(frame) + ".exr";
            WriteTestExr(Path(name), MakeTestFrame(width, height, depth));
            inputs.push_back(name);
        }
    }

    std::vector<std::string> Apply(const std::string& output, std::vector<std::string> extra) const
    {
        std::vector<std::string> arguments = {"apply", "-j", "2", "-o", output + "/"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        arguments.insert(arguments.end(), inputs.begin(), inputs.end());
        return arguments;
    }

    // Starts the tool on `arguments` and sends it `signalNumber` once `ready` holds (or after
    // 20 s); answers its wait status when the signal came while it ran, nothing when it ended first.
    // With `ignored`, the tool starts with that signal ignored, as under nohup.
    std::optional<int> RunAndSignal(const std::vector<std::string>& arguments,
                                    const std::function<bool()>& ready, int signalNumber = SIGKILL,
                                    int ignored = 0) const
    {
        const std::string tool = ToolPath();
        std::vector<char*> argv = {const_cast<char*>(tool.c_str())};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            if (chdir(folder.c_str()) != 0) _exit(127);
            const int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, 1);
            dup2(quiet, 2);
            if (ignored != 0) signal(ignored, SIG_IGN);
            execv(tool.c_str(), argv.data());
            _exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        int status = 0;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (ready() || std::chrono::steady_clock::now() > deadline) {
                kill(child, signalNumber);
                waitpid(child, &status, 0); // reaped: its process id names no process any more
                return status;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return std::nullopt;
    }

    std::vector<std::string> inputs;
};

TEST_F(Interruption, KilledRunsResumeToTheSamePicturesAndLeaveNoTemporaries)
{
    const ToolRun whole = Run(Apply("whole", {}));
    ASSERT_EQ(whole.status, 0) << whole.err;

    // Kill points: while the first frame is being written, while a frame is being written after
    // others are done, and between frames.
    struct KillPoint {
        const char* what;
        int written; // outputs complete when the kill comes
        bool midWrite;
    };
    const KillPoint points[] = {
        {"writing the first frame", 0, true},
        {"writing a frame after three are done", 3, true},
        {"six frames done", 6, false},
        {"the first frame done", 1, false},
    };
    int leftTemporaries = 0;
    for (const KillPoint& point : points) {
        SCOPED_TRACE(point.what);
        const std::string output = "out" + std::to_string(&point - points);
        const fs::path out = Path(output);
        const std::optional<int> status = RunAndSignal(Apply(output, {}), [&] {
            return CountNames(out, ".png") >= point.written &&
                   (!point.midWrite || CountNames(out, ".tmp") > 0);
        });
        const bool killed = status && WIFSIGNALED(*status);
        const int temporaries = CountNames(out, ".tmp");
        leftTemporaries += temporaries;
        EXPECT_TRUE(killed || temporaries == 0);

        const ToolRun rerun = Run(Apply(output, {"--skip-existing"}));
        EXPECT_EQ(rerun.status, 0) << rerun.err;
        if (temporaries > 0) {
            EXPECT_THAT(rerun.out + rerun.err, HasSubstr("left by a writer that no longer runs"));
        }
        EXPECT_EQ(CountNames(out, ".tmp"), 0) << rerun.out << rerun.err;
        for (int frame = 1; frame <= FRAMES; ++frame) {
            const std::string name = "f.000" + std::to_string(frame) + ".png";
            EXPECT_EQ(Bytes(out / name), Bytes(Path("whole") / name)) << name;
        }
    }
    // The mid-write kill points must have caught a writer at work, or the test proved nothing.
    EXPECT_GT(leftTemporaries, 0);
}

// The signals a user, a terminal or a scheduler stops a run with: the temporary being written is
// removed, and the run ends killed by that very signal, so that whatever started it sees why.
TEST_F(Interruption, StopSignalsRemoveTheTemporaryBeingWrittenAndEndTheRunBySignal)
{
    // A frame whose picture takes long enough to write that the signal lands mid-write.
    const int width = 1600, height = 1200;
    std::vector<double> depth;
    for (int i = 0; i < width * height; ++i) depth.push_back(-1.0 - (i % 9973 * 7919 % 9973) / 10.0);
    WriteTestExr(Path("large.exr"), MakeTestFrame(width, height, depth));
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signalNumber));
        const std::string output = "out-" + std::to_string(signalNumber);
        fs::create_directories(Path(output));
        bool writing = false;
        const std::optional<int> status = RunAndSignal(
            {"apply", "large.exr", "-o", output + "/large.png"},
            [&] { return writing = CountNames(Path(output), ".tmp") > 0; }, signalNumber);
        ASSERT_TRUE(writing) << "the signal came before the picture was being written";
        ASSERT_TRUE(status && WIFSIGNALED(*status)) << "the run ended before the signal, or by itself";
        EXPECT_EQ(WTERMSIG(*status), signalNumber);
        EXPECT_THAT(FolderNames(Path(output)), ::testing::IsEmpty());
    }
    // Started with hang-ups ignored, as under nohup, a run goes on through one and writes its picture.
    fs::create_directories(Path("nohup"));
    bool writing = false;
    const std::optional<int> status = RunAndSignal(
        {"apply", "large.exr", "-o", "nohup/large.png"},
        [&] { return writing = CountNames(Path("nohup"), ".tmp") > 0; }, SIGHUP, SIGHUP);
    ASSERT_TRUE(writing && status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_THAT(FolderNames(Path("nohup")), ::testing::ElementsAre("large.png"));
}

// A whole 2 x 2 frame whose last header attribute, a string, claims 1.8 GB that the file lacks.
std::string HostileClaim(const fs::path& whole)
{
    std::string file = Bytes(whole);
    const std::string last = std::string("screenWindowWidth\0float\0\x04\0\0\0", 28);
    const std::size_t end = file.find(last) + last.size() + 4;
    const std::uint32_t claimed = 1800000000;
    std::string attribute = std::string("note\0string\0", 12);
    for (int i = 0; i < 4; ++i) attribute += static_cast<char>((claimed >> (8 * i)) & 0xFF);
    return file.insert(end, attribute + "just a few bytes");
}

TEST_F(Interruption, AClaimBeyondTheFileIsRefusedBeforeAnythingIsAllocatedForIt)
{
    WriteTestExr(Path("small.exr"), MakeTestFrame(2, 2, {-1, -2, -3, -4}));
    const std::string hostile = HostileClaim(Path("small.exr"));
    ASSERT_LT(hostile.size(), 1000u);
    std::ofstream(Path("hostile.exr"), std::ios::binary) << hostile;
    RunLimits measured;
    measured.measureMemory = true;
    // Every path that opens an input: the job count's look at the first frame (default -j), the
    // frames' own reads, the outputs of every view for --skip-existing, the shot's scale, info.
    const std::vector<std::string> lines[] = {
        {"apply", "-o", "out/", "hostile.exr", "small.exr"},
        {"apply", "-j", "1", "-o", "out1/", "hostile.exr", "small.exr"},
        {"apply", "--view", "all", "--skip-existing", "-o", "out2/", "hostile.exr", "small.exr"},
        {"apply", "--range", "shot", "-o", "out3/", "hostile.exr", "small.exr"},
        {"info", "hostile.exr", "small.exr"},
    };
    for (const std::vector<std::string>& line : lines) {
        SCOPED_TRACE(line[0] + " " + line[1] + " " + line[2]);
        const ToolRun run = Run(line, measured);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_THAT(run.err, HasSubstr("hostile.exr: damaged or truncated EXR file"));
        EXPECT_THAT(run.err, ::testing::Not(HasSubstr("error: small.exr")));
        // Far below the 1.8 GB claimed: the tool, its libraries and two tiny frames.
        EXPECT_GT(run.peakKilobytes, 0);
        EXPECT_LT(run.peakKilobytes, 400 * 1024) << run.peakKilobytes << " KB";
    }
}

} // namespace
