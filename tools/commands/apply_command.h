// `deepglass apply`: the filter set up once, then every input frame read, filtered through the
// module and written, each on its own, with progress, warnings and a summary.
#pragma once

#include <cstdio>

#include "cli/command_line.h"

// Runs the command; answers the exit status. Messages go to the two streams.
int RunApply(const ApplyOptions& options, std::FILE* out, std::FILE* errors);
