// `deepglass info`: what a frame holds and how the filter would see its depth.
#pragma once

#include <cstdio>

#include "settings/run_settings.h"

namespace deepglass {

// Answers the exit status: 1 when a frame could not be read.
int RunInfo(const InfoOptions& options, std::FILE* out, std::FILE* errors);

} // namespace deepglass
