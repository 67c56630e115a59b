// A command as parsed from the command line: which command, with which options, every value
// typed and checked.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "settings/run_settings.h"

namespace deepglass {

struct SampleOptions {
    std::string output;
    int width = 640;
    int height = 360;
    bool cryptomatte = false; // add Cryptomatte layers naming the objects and materials
};

struct DemoOptions {
    std::string folder = "out";
    std::string modulePath;
};

enum class CommandKind { HELP, VERSION, APPLY, INFO, DEPTH, SAMPLE, DEMO };

struct Command {
    CommandKind kind = CommandKind::HELP;
    std::string helpTopic;  // for HELP: "" or a command's name
    std::string modulePath; // for VERSION
    ApplyOptions apply;
    InfoOptions info;
    DepthOptions depth;
    SampleOptions sample;
    DemoOptions demo;
    // What was typed that the checks settle into the options: --format, --matte's patterns before
    // they are compiled, and whether --range and --bits were given.
    std::optional<OutputFormat> format;
    std::vector<std::string> mattes;
    // The OpenColorIO config --colour auto and DISPLAY/VIEW read ($OCIO on the command line); empty:
    // none.
    std::string colourConfig;
    bool rangeGiven = false; // a video's scale is the shot's unless --range says
    bool bitsGiven = false;  // an .mp4 holds 8 bits unless --bits asks for what it cannot hold
};

} // namespace deepglass
