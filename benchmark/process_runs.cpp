#include "process_runs.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

extern char** environ;

namespace {

double Seconds(const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; }

} // namespace

// Runs the command, its output and messages sent to /dev/null; exits the benchmark if it fails.
Measure RunOnce(const std::vector<std::string>& command, bool mayFail)
{
    std::vector<char*> argv;
    for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto started = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot run %s\n", argv[0]);
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    posix_spawn_file_actions_destroy(&actions);
    Measure measure;
    measure.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    measure.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    measure.systemSeconds = Seconds(usage.ru_stime);
    measure.megabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
    measure.failed = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    if (measure.failed && !mayFail) {
        std::fprintf(stderr, "failed: %s\n", command[0].c_str());
        std::exit(1);
    }
    return measure;
}

// The best time and the largest peak memory of `runs` alternating runs of each command.
std::vector<Measure> Compare(const std::vector<std::vector<std::string>>& commands, int runs, bool mayFail)
{
    std::vector<Measure> best(commands.size());
    for (int run = 0; run < runs; ++run)
        for (std::size_t i = 0; i < commands.size(); ++i) {
            const Measure measure = RunOnce(commands[i], mayFail);
            best[i].seconds = std::min(best[i].seconds, measure.seconds);
            best[i].cpuSeconds = std::min(best[i].cpuSeconds, measure.cpuSeconds);
            best[i].systemSeconds = std::min(best[i].systemSeconds, measure.systemSeconds);
            best[i].failed = best[i].failed || measure.failed;
            best[i].megabytes = std::max(best[i].megabytes, measure.megabytes);
        }
    return best;
}

void MakeBenchmarkFrames(const std::string& tool, const std::filesystem::path& folder)
{
    RunOnce({tool, "sample", "--width", "3840", "--height", "2160", (folder / "big.exr").string()});
    RunOnce({tool, "sample", "--width", "1920", "--height", "1080", (folder / "hd.exr").string()});
    for (int frame = 1; frame <= 8; ++frame) {
        char name[32];
        std::snprintf(name, sizeof name, "hd.%04d.exr", frame);
        std::filesystem::copy_file(folder / "hd.exr", folder / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

std::string Bytes(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// "  NAME   wall s   CPU s   system s   memory MB", and the bytes of a file when given.
void PrintMeasure(const char* name, const Measure& measure, double bytes)
{
    std::printf("  %-22s %8.3f s %8.3f s %8.3f s %8.1f MB%s", name, measure.seconds, measure.cpuSeconds,
                measure.systemSeconds, measure.megabytes, measure.failed ? "  (failed)" : "");
    if (bytes >= 0) std::printf(" %10.0f", bytes);
    std::printf("\n");
}

// The first measure over the second, and the bytes' ratio when given.
void PrintRatio(const Measure& a, const Measure& b, double bytesRatio)
{
    std::printf("  %-22s %8.2fx   %8.2fx   %8.2fx   %8.2fx", "ratio", a.seconds / b.seconds,
                a.cpuSeconds / b.cpuSeconds, a.systemSeconds / b.systemSeconds, a.megabytes / b.megabytes);
    if (bytesRatio >= 0) std::printf("   %8.2fx", bytesRatio);
    std::printf("\n");
}
