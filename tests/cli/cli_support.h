// Running the built deepglass tool from tests: EXR inputs made with the OpenEXR API, the tool run
// as a separate process, its PNG outputs read back with libpng.
#pragma once

#include <ImfCompression.h>
#include <ImfPixelType.h>
#include <ImfTileDescription.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
    long peakKilobytes = -1; // the largest resident size of the tool's process, when measured
};

// What the tool's process may do, for tests of faults in its output.
struct RunLimits {
    std::uintmax_t fileSizeBytes = 0; // largest file it may write, in whole 512-byte blocks; 0: no limit
    bool permissionsBindRoot = false; // run as root, it obeys permission bits as any user does
    bool measureMemory = false;       // fill in the run's peakKilobytes
    std::vector<std::string> runUnder = {}; // a program the tool runs under, with its arguments (a tracer)
};

// Runs deepglass with `arguments` in `folder`.
ToolRun RunDeepglass(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                     const RunLimits& limits = {});

std::string ToolPath();
std::string HostLibraryPath(); // a shared object that loads but is no plug-in module

struct TestChannel {
    std::string name;
    Imf::PixelType type;
    std::vector<double> values; // row-major over its samples; UINT channels take them as whole numbers
    int sampling = 1;           // x and y sampling: one sample a sampling x sampling block
};

struct TestFrame {
    int minX = 0, minY = 0, width = 1, height = 1;                             // data window
    int displayMinX = 0, displayMinY = 0, displayWidth = 0, displayHeight = 0; // 0: as the data window
    std::vector<TestChannel> channels;
    bool tiled = false;                     // tiles of 2 x 2 pixels
    Imf::LevelMode levels = Imf::ONE_LEVEL; // of a tiled frame
    Imf::Compression compression = Imf::ZIP_COMPRESSION;
};

// Below the full level of a mip- or rip-mapped frame, a level's sample i is the full level's sample
// count - 1 - i, so that a lower level read in the full one's place shows.
void WriteTestExr(const std::filesystem::path& path, const TestFrame& frame);
// A frame of width x height with colour (R, G, B, A half), depth Z (float) and, where given,
// materialID and objectID (UINT).
TestFrame MakeTestFrame(int width, int height, std::vector<double> depth, std::vector<double> colour = {},
                        std::vector<double> materials = {}, std::vector<double> objects = {});

struct Png {
    int width = 0;
    int height = 0;
    int bitDepth = 0;
    int colourType = -1;
    bool srgb = false;                  // it has an sRGB chunk
    std::vector<unsigned char> icc;     // the profile of its iCCP chunk, when it has one
    std::vector<std::uint16_t> samples; // RGBA, row-major; a grey picture's level in all four

    std::vector<std::uint16_t> Channel(int component) const; // 0 R, 1 G, 2 B, 3 A
};

Png ReadPng(const std::filesystem::path& path);

// The names in a folder, sorted.
std::vector<std::string> FolderNames(const std::filesystem::path& folder);

// A fresh folder for one test, removed afterwards.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    ToolRun Run(const std::vector<std::string>& arguments, const RunLimits& limits = {})
    {
        return RunDeepglass(folder, arguments, limits);
    }
    std::filesystem::path Path(const std::string& name) const { return folder / name; }
    // The picture `apply ARGUMENTS -o OUTPUT` writes; a failed run fails the test.
    Png Applied(std::vector<std::string> arguments, const std::string& output);

    std::filesystem::path folder;
};
