// `deepglass apply`: the filter set up once, then every input frame read, filtered through the
// module and written, each on its own, with progress, warnings and a summary.
#pragma once

#include <cstdio>

#include "settings/run_settings.h"

#include <memory>
#include <string>

namespace deepglass {

class FilterRunner;

// The module at `modulePath` (empty: the one beside the tool) loaded and its filter made; null,
// the error shown, when that fails.
std::unique_ptr<FilterRunner> LoadFilter(const std::string& modulePath, std::FILE* errors);

// Makes the folder the outputs of `target` go to: the folder itself, or a pattern's folder; a
// ToolError when it cannot be made.
void MakeOutputFolder(const OutputTarget& target);

// Runs the command; answers the exit status. Messages go to the two streams.
int RunApply(const ApplyOptions& options, std::FILE* out, std::FILE* errors);
// The same with a filter of a module already loaded (the options' module is not loaded again);
// `runner` is configured by the options.
int RunApply(FilterRunner& runner, const ApplyOptions& options, std::FILE* out, std::FILE* errors);

} // namespace deepglass
