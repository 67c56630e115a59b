// The command line: which command, with which options. Everything the user can get wrong on the
// command line is found here and reported as a UsageError before any file is touched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cryptomatte/matte_ids.h"
#include "files/output_paths.h"
#include "host/background.h"
#include "host/filter_settings.h"
#include "host/host_frame.h"

struct ApplyOptions {
    std::vector<std::string> inputs;
    OutputTarget output;
    FilterChoice filter;
    MatteRequest matte; // an ID channel built from a Cryptomatte layer
    ChannelNames names;
    std::string view;       // "": the file's default view; "all": every view
    std::string modulePath; // empty: the module beside the tool
    BackgroundRule background;
    bool opaque = false;
    std::vector<int> frames; // from --frames; empty: every input as named
    int jobs = 0;            // 0: chosen from the cores and the memory
    bool skipExisting = false;
    std::string reportPath;
    std::uint64_t maxMemory = 0; // what the frames read at once may take; 0: half of the machine's
};

struct InfoOptions {
    std::vector<std::string> inputs;
    ChannelNames names;
    std::string view; // "": the file's default view; "all": every view
    BackgroundRule background;
    std::vector<int> frames;
    std::string plotPath; // a chart of the depth ranges, when given
};

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

enum class CommandKind { HELP, VERSION, APPLY, INFO, SAMPLE, DEMO };

struct Command {
    CommandKind kind = CommandKind::HELP;
    std::string helpTopic;  // for HELP: "" or a command's name
    std::string modulePath; // for VERSION
    ApplyOptions apply;
    InfoOptions info;
    SampleOptions sample;
    DemoOptions demo;
};

// A UsageError for anything it cannot follow.
Command ParseCommandLine(const std::vector<std::string>& arguments);

// The help of the tool (topic "") or of one command; the tool's for a topic without its own.
std::string HelpText(const std::string& topic);
