// EXR files in the layouts renderers write, for the tool's tests: several parts with names and
// views, one part with a multiView attribute; and any file read back sample by sample, as stored.
#pragma once

#include <ImathBox.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cli_support.h"

struct TestPart {
    std::string name; // empty: no name attribute (only in a file of one part)
    std::string view; // empty: no view attribute
    TestFrame frame;
    // String attributes of its header.
    std::vector<std::pair<std::string, std::string>> attributes = {};
};

// Writes the parts as one file (a single-part file for one part). `multiView` is set on a single
// part. Every part gets a "comments" attribute, "kept", to see that attributes survive.
void WriteTestParts(const std::filesystem::path& path, const std::vector<TestPart>& parts,
                    const std::vector<std::string>& multiView = {});

// One sample of a deep pixel: depth, alpha and colour premultiplied by it.
struct DeepSample {
    float z = 0;
    float a = 1;
    float r = 0, g = 0, b = 0;
};

// A deep part of width x height pixels at (0, 0), channels R, G, B, A (half) and Z (float), whose
// samples are stored in the order given.
struct DeepTestPart {
    std::string name; // empty: no name attribute (only in a file of one part)
    std::string view; // empty: no view attribute
    int width = 1, height = 1;
    bool tiled = false;                          // tiles of 2 x 2 pixels
    std::vector<std::vector<DeepSample>> pixels; // row-major
    int compression = 0;                         // Imf::Compression: none by default
};

// Writes the deep parts, then the flat ones, as one file (a single-part file for one part).
void WriteDeepTestParts(const std::filesystem::path& path, const std::vector<DeepTestPart>& deep,
                        const std::vector<TestPart>& flat = {});

struct RawChannel {
    int type = 0;                       // Imf::PixelType
    std::vector<std::uint32_t> samples; // the stored bits (half: the low 16)
};

struct RawPart {
    std::string name;
    std::string view;
    Imath::Box2i dataWindow;
    std::vector<std::string> attributes; // names, in header order
    std::map<std::string, RawChannel> channels;
};

std::vector<RawPart> ReadRawParts(const std::filesystem::path& path);
