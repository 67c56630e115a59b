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
    int sampling = 1; // of channels whose names end in "_sub"
    // String attributes of its header.
    std::vector<std::pair<std::string, std::string>> attributes = {};
};

// Writes the parts as one file (a single-part file for one part). `multiView` is set on a single
// part. Every part gets a "comments" attribute, "kept", to see that attributes survive.
void WriteTestParts(const std::filesystem::path& path, const std::vector<TestPart>& parts,
                    const std::vector<std::string>& multiView = {});

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
