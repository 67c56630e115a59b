// `deepglass apply` end to end against its I/O floor, and frames in parallel against one worker.
// Each command runs as a process of its own; its wall time, its CPU time (user and system) and its
// peak resident memory come from wait4. Runs alternate between the compared commands, and the best
// of each is kept, so that the load of a shared machine weighs on both alike. The floor decodes
// with as many OpenEXR threads as the tool does with one worker (one a core).
//
//   shot_benchmark DEEPGLASS IO_FLOOR FOLDER [RUNS]
//
// Makes in FOLDER the bundled sample frame at 3840 x 2160 and a sequence of 8 frames at
// 1920 x 1080, then reports: the per-frame time and peak memory of the tool and of the floor at
// 3840 x 2160 with their ratios; the default grey picture against --png rgba in time and bytes;
// EXR output in object mode against a plain copy of the file by oiiotool (OIIOTOOL, default
// /usr/bin/oiiotool, from Debian's openimageio-tools; left out when missing); the time of -j 1 and
// -j 2 on the 8 frames with their ratio, and whether both wrote the same pictures.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "process_runs.h"

namespace fs = std::filesystem;

namespace {

bool SameFolders(const fs::path& a, const fs::path& b)
{
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(a)) {
        ++count;
        if (Bytes(entry.path()) != Bytes(b / entry.path().filename())) return false;
    }
    return count > 0 && count == static_cast<std::size_t>(std::distance(fs::directory_iterator(b), {}));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: shot_benchmark DEEPGLASS IO_FLOOR FOLDER [RUNS]\n");
        return 2;
    }
    const std::string tool = argv[1];
    const std::string floor = argv[2];
    const fs::path folder = argv[3];
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    fs::create_directories(folder);
    const std::string big = (folder / "big.exr").string();
    MakeBenchmarkFrames(tool, folder);

    const std::vector<Measure> frame =
        Compare({{tool, "apply", "-j", "1", big, "-o", (folder / "tool.png").string()},
                 {floor, big, (folder / "floor.png").string(), std::to_string(cores)}},
                runs);
    std::printf("3840 x 2160, PNG out, whole mode (best of %d)  wall, CPU, peak memory\n", runs);
    PrintMeasure("deepglass apply", frame[0]);
    PrintMeasure("I/O floor", frame[1]);
    PrintRatio(frame[0], frame[1]);

    const std::vector<Measure> kinds =
        Compare({{tool, "apply", "-j", "1", big, "-o", (folder / "grey.png").string()},
                 {tool, "apply", "-j", "1", "--png", "rgba", big, "-o", (folder / "rgba.png").string()}},
                runs);
    const double greyBytes = static_cast<double>(fs::file_size(folder / "grey.png"));
    const double rgbaBytes = static_cast<double>(fs::file_size(folder / "rgba.png"));
    std::printf("3840 x 2160, the default grey PNG against --png rgba  wall, CPU, peak memory, bytes\n");
    PrintMeasure("grey (default)", kinds[0], greyBytes);
    PrintMeasure("--png rgba", kinds[1], rgbaBytes);
    PrintRatio(kinds[0], kinds[1], greyBytes / rgbaBytes);

    const char* oiiotool = std::getenv("OIIOTOOL") != nullptr ? std::getenv("OIIOTOOL") : "/usr/bin/oiiotool";
    if (fs::exists(oiiotool)) {
        const std::vector<Measure> exr =
            Compare({{tool, "apply", "-j", "1", "--mode", "object", "--id", "3", "--format", "exr", big, "-o",
                      (folder / "tool.exr").string()},
                     {oiiotool, big, "-o", (folder / "copy.exr").string()}},
                    runs);
        std::printf(
            "3840 x 2160, EXR out, object mode, against a copy by oiiotool  wall, CPU, peak memory\n");
        PrintMeasure("deepglass apply", exr[0]);
        PrintMeasure("oiiotool copy", exr[1]);
        PrintRatio(exr[0], exr[1]);
    } else {
        std::printf("EXR out against oiiotool: left out, no %s (apt-get install openimageio-tools)\n",
                    oiiotool);
    }

    const std::string pattern = (folder / "hd.%04d.exr").string();
    fs::create_directories(folder / "j1");
    fs::create_directories(folder / "j2");
    const std::vector<Measure> jobs =
        Compare({{tool, "apply", "-j", "1", "--frames", "1-8", pattern, "-o", (folder / "j1/").string()},
                 {tool, "apply", "-j", "2", "--frames", "1-8", pattern, "-o", (folder / "j2/").string()}},
                runs);
    std::printf("8 frames of 1920 x 1080 (best of %d)\n", runs);
    PrintMeasure("-j 1", jobs[0]);
    PrintMeasure("-j 2", jobs[1]);
    std::printf("  %-22s %8.2f\n", "-j 2 / -j 1", jobs[1].seconds / jobs[0].seconds);
    std::printf("  %-22s %s\n", "same pictures", SameFolders(folder / "j1", folder / "j2") ? "yes" : "NO");
    return 0;
}
