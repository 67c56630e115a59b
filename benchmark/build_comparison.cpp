// This build's `deepglass apply` against an older build's and against oiiotool making the same
// picture, side by side in one run. Each command runs as a process of its own (wall time, CPU time
// and peak memory from wait4); runs alternate and the best of each is kept, so that the load of a
// shared machine weighs on every command alike.
//
//   build_comparison NEW_DEEPGLASS OLD_DEEPGLASS FOLDER [RUNS]
//
// Makes in FOLDER the sample frame at 3840 x 2160 and a sequence of 8 frames at 1920 x 1080, then
// reports:
// - the large frame's default picture with the default -j: the new build, the old one, and
//   oiiotool (OIIOTOOL, default /usr/bin/oiiotool) with all its threads and with one, mapping the
//   same depths to 16-bit grey over the frame's scale as `info` prints it;
// - the 8 frames with the default -j, new against old;
// - the large frame into an EXR output (the object mode, which rewrites some pixels), new against old;
// - a frame of 16384 x 8192 (depth and alpha, as a stereo panorama's depth pass is stored, ZIP)
//   made into its default picture under --max-memory 1G with -j 1, new against old (which may
//   refuse it);
// - whether every picture of the new build decodes to the same pixels as the old build's, whether
//   the EXR outputs hold the same pixels (idiff -a, IDIFF, default /usr/bin/idiff), and how far
//   oiiotool's greys are from them (it rounds in single precision).
// Each line gives wall time, CPU time, the system's share of it and peak memory.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfOutputFile.h>
#include <half.h>

#include "png/png_reader.h"
#include "process_runs.h"

namespace fs = std::filesystem;

namespace {

using deepglass::PngPicture;

// The picture at `path`; an empty one when it cannot be read.
PngPicture Decode(const fs::path& path)
{
    try {
        return deepglass::PngReader(path.string()).ReadAll();
    } catch (const std::exception&) {
        return {};
    }
}

bool SamePixels(const PngPicture& a, const PngPicture& b)
{
    return !a.stored.empty() && a.width == b.width && a.height == b.height && a.bits == b.bits &&
           a.channels == b.channels && a.stored == b.stored;
}

// The largest difference of two 16-bit grey pictures' levels; -1 when they are not both such.
int LargestDifference(const PngPicture& a, const PngPicture& b)
{
    if (a.stored.empty() || a.width != b.width || a.height != b.height || a.bits != 16 || b.bits != 16 ||
        a.channels != 1 || b.channels != 1)
        return -1;
    int largest = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(a.width) * static_cast<std::size_t>(a.height); ++i)
        largest = std::max(largest, std::abs(a.At(i, 0) - b.At(i, 0)));
    return largest;
}

// The frame's scale as `info` prints it ("depth Z: NEAR to FAR (...)").
std::array<double, 2> ScaleOf(const std::string& tool, const std::string& input)
{
    const std::string command = tool + " info " + input;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    char line[512];
    std::array<double, 2> scale{0, 0};
    while (pipe && std::fgets(line, sizeof line, pipe.get()) != nullptr)
        if (std::sscanf(line, " depth Z: %lf to %lf", &scale[0], &scale[1]) == 2) break;
    if (scale[1] <= scale[0]) {
        std::fprintf(stderr, "cannot read the frame's scale from: %s\n", command.c_str());
        std::exit(1);
    }
    return scale;
}

bool SameFolders(const fs::path& a, const fs::path& b)
{
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(a)) {
        ++count;
        if (!SamePixels(Decode(entry.path()), Decode(b / entry.path().filename()))) return false;
    }
    return count > 0 && count == static_cast<std::size_t>(std::distance(fs::directory_iterator(b), {}));
}

// A panorama's depth pass: Z (FLOAT) and A (HALF), ZIP, a sky at -1e30 with alpha 0 above a
// ground whose depth grows towards the horizon, written a band of rows at a time.
void MakePanorama(const fs::path& path, int width, int height)
{
    Imf::Header header(width, height);
    header.compression() = Imf::ZIP_COMPRESSION;
    header.channels().insert("Z", Imf::Channel(Imf::FLOAT));
    header.channels().insert("A", Imf::Channel(Imf::HALF));
    Imf::OutputFile file(path.c_str(), header);
    constexpr int BAND = 256;
    std::vector<float> depth(static_cast<std::size_t>(width) * BAND);
    std::vector<half> alpha(depth.size());
    for (int first = 0; first < height; first += BAND) {
        const int rows = std::min(BAND, height - first);
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < width; ++x) {
                const int row = first + y;
                const bool sky = row < height / 3;
                const std::size_t i = static_cast<std::size_t>(y) * width + x;
                depth[i] = sky ? -1e30f
                               : -(2.0f + 4000.0f / static_cast<float>(row - height / 3 + 1)) *
                                     (1.0f + 0.1f * static_cast<float>(x % 97) / 97.0f);
                alpha[i] = sky ? 0.0f : 1.0f;
            }
        Imf::FrameBuffer buffer;
        const std::ptrdiff_t origin = static_cast<std::ptrdiff_t>(first) * width;
        buffer.insert("Z", Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(depth.data() - origin),
                                      sizeof(float), sizeof(float) * width));
        buffer.insert("A", Imf::Slice(Imf::HALF, reinterpret_cast<char*>(alpha.data() - origin), sizeof(half),
                                      sizeof(half) * width));
        file.setFrameBuffer(buffer);
        file.writePixels(rows);
    }
}

// Whether idiff finds every pixel of two EXR files the same (-a: every part and subimage).
bool SameExr(const fs::path& a, const fs::path& b)
{
    const char* idiff = std::getenv("IDIFF") != nullptr ? std::getenv("IDIFF") : "/usr/bin/idiff";
    const std::string command =
        std::string(idiff) + " -q -a " + a.string() + " " + b.string() + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: build_comparison NEW_DEEPGLASS OLD_DEEPGLASS FOLDER [RUNS]\n");
        return 2;
    }
    const std::string tool = argv[1];
    const std::string old = argv[2];
    const fs::path folder = argv[3];
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
    fs::create_directories(folder);
    const std::string big = (folder / "big.exr").string();
    MakeBenchmarkFrames(tool, folder);

    std::vector<std::vector<std::string>> frame = {{tool, "apply", big, "-o", (folder / "new.png").string()},
                                                   {old, "apply", big, "-o", (folder / "old.png").string()}};
    const char* oiiotool = std::getenv("OIIOTOOL") != nullptr ? std::getenv("OIIOTOOL") : "/usr/bin/oiiotool";
    const bool withOiiotool = fs::exists(oiiotool);
    if (withOiiotool) {
        // grey = 1 - (|z| - near) / (far - near), clamped: near white, far black, and the
        // background's huge magnitudes black.
        const std::array<double, 2> scale = ScaleOf(tool, big);
        const std::vector<std::string> map = {big,
                                              "--ch",
                                              "Z",
                                              "--abs",
                                              "--subc",
                                              std::to_string(scale[0]),
                                              "--mulc",
                                              std::to_string(-1.0 / (scale[1] - scale[0])),
                                              "--addc",
                                              "1",
                                              "--clamp:min=0:max=1",
                                              "-d",
                                              "uint16"};
        std::vector<std::string> threaded = {oiiotool};
        threaded.insert(threaded.end(), map.begin(), map.end());
        threaded.insert(threaded.end(), {"-o", (folder / "oiiotool.png").string()});
        std::vector<std::string> single = {oiiotool, "--threads", "1"};
        single.insert(single.end(), map.begin(), map.end());
        single.insert(single.end(), {"-o", (folder / "oiiotool-1.png").string()});
        frame.push_back(threaded);
        frame.push_back(single);
    }
    const std::vector<Measure> large = Compare(frame, runs);
    std::printf("3840 x 2160, the default picture, default -j (best of %d)  wall, CPU, system, peak memory\n",
                runs);
    PrintMeasure("this build", large[0]);
    PrintMeasure("old build", large[1]);
    std::printf("  this / old:\n");
    PrintRatio(large[0], large[1]);
    if (withOiiotool) {
        PrintMeasure("oiiotool", large[2]);
        PrintMeasure("oiiotool --threads 1", large[3]);
        std::printf("  this / oiiotool:\n");
        PrintRatio(large[0], large[2]);
        std::printf("  this / oiiotool --threads 1:\n");
        PrintRatio(large[0], large[3]);
    } else {
        std::printf("  oiiotool: left out, no %s (apt-get install openimageio-tools)\n", oiiotool);
    }

    const std::string pattern = (folder / "hd.%04d.exr").string();
    fs::create_directories(folder / "new");
    fs::create_directories(folder / "old");
    const std::vector<Measure> shot =
        Compare({{tool, "apply", "--frames", "1-8", pattern, "-o", (folder / "new/").string()},
                 {old, "apply", "--frames", "1-8", pattern, "-o", (folder / "old/").string()}},
                runs);
    std::printf("8 frames of 1920 x 1080, default -j (best of %d)\n", runs);
    PrintMeasure("this build", shot[0]);
    PrintMeasure("old build", shot[1]);
    PrintRatio(shot[0], shot[1]);

    const std::vector<Measure> exr =
        Compare({{tool, "apply", "--mode", "object", "--id", "3", big, "-o", (folder / "new.exr").string()},
                 {old, "apply", "--mode", "object", "--id", "3", big, "-o", (folder / "old.exr").string()}},
                runs);
    std::printf("3840 x 2160 into an EXR output, --mode object --id 3, default -j (best of %d)\n", runs);
    PrintMeasure("this build", exr[0]);
    PrintMeasure("old build", exr[1]);
    PrintRatio(exr[0], exr[1]);

    const std::string panorama = (folder / "panorama.exr").string();
    if (!fs::exists(panorama)) MakePanorama(panorama, 16384, 8192);
    const std::vector<Measure> huge = Compare({{tool, "apply", "-j", "1", "--max-memory", "1G", panorama,
                                                "-o", (folder / "panorama-new.png").string()},
                                               {old, "apply", "-j", "1", "--max-memory", "1G", panorama, "-o",
                                                (folder / "panorama-old.png").string()}},
                                              runs, true);
    std::printf("16384 x 8192 (Z and A), the default picture, -j 1 --max-memory 1G (best of %d)\n", runs);
    PrintMeasure("this build", huge[0]);
    PrintMeasure("old build", huge[1]);

    const PngPicture mine = Decode(folder / "new.png");
    std::printf("same pixels as the old build: large frame %s, 8 frames %s\n",
                SamePixels(mine, Decode(folder / "old.png")) ? "yes" : "NO",
                SameFolders(folder / "new", folder / "old") ? "yes" : "NO");
    std::printf("same pixels in the EXR outputs (idiff -a): %s\n",
                SameExr(folder / "new.exr", folder / "old.exr") ? "yes" : "NO");
    if (withOiiotool)
        std::printf("oiiotool's greys differ from this build's by at most %d levels of 65535\n",
                    LargestDifference(mine, Decode(folder / "oiiotool.png")));
    return 0;
}
