// Commands run as processes of their own and measured: wall time, CPU time (user and system) and
// peak resident memory, from wait4; the compared commands alternate so that the load of a shared
// machine weighs on each alike.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct Measure {
    double seconds = 1e30;
    double cpuSeconds = 1e30;
    double systemSeconds = 1e30; // of the CPU time, in the kernel
    double megabytes = 0;
    bool failed = false; // the command exited with a failure (where that was allowed)
};

// Runs the command, its output and messages sent to /dev/null; exits the benchmark if it fails,
// unless `mayFail`.
Measure RunOnce(const std::vector<std::string>& command, bool mayFail = false);
// The best times and the largest peak memory of `runs` alternating runs of each command.
std::vector<Measure> Compare(const std::vector<std::vector<std::string>>& commands, int runs,
                             bool mayFail = false);
std::string Bytes(const std::filesystem::path& path);
// Makes in `folder`, with `tool sample`, the sample frame at 3840 x 2160 (big.exr) and a sequence of
// 8 frames at 1920 x 1080 (hd.0001.exr to hd.0008.exr).
void MakeBenchmarkFrames(const std::string& tool, const std::filesystem::path& folder);
// "  NAME   wall s   CPU s   system s   memory MB", and the bytes of a file when given.
void PrintMeasure(const char* name, const Measure& measure, double bytes = -1);
// The first measure over the second, and the bytes' ratio when given.
void PrintRatio(const Measure& a, const Measure& b, double bytesRatio = -1);
