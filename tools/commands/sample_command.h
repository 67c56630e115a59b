// The sample scene as a command: written to one EXR file (sample), or written and filtered three
// times into a folder of pictures (demo).
#pragma once

#include "cli/command.h"

namespace deepglass {

int RunSample(const SampleOptions& options);
int RunDemo(const DemoOptions& options);

} // namespace deepglass
