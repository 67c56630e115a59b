// Configuring the filter: the user's choice of mode and ID, or a record file, loaded into it, and
// its record saved. The tool never makes a record from nothing: it takes the filter's own record
// and changes the words it needs, so the tag is the module's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "deepglass_interface.h"

namespace deepglass {

class FilterRunner;
class InputFiles;

// What the command line chose for the filter: a saved record, or a mode and an ID.
struct FilterChoice {
    std::optional<std::int32_t> mode; // default MODE_WHOLE_IMAGE
    std::optional<int> id;            // default: the filter's own
    std::string configPath;           // take mode and IDs from this record file
    std::string saveConfigPath;       // write the filter's record here
};

// Loads the chosen settings into the filter; a ToolError when the record file cannot be read or
// the filter refuses the record. Answers the warnings the settings call for.
std::vector<std::string> ConfigureFilter(FilterRunner& runner, const FilterChoice& choice);
// Writes the filter's record to `path` as a whole, never over one of `inputs`; a ToolError if not.
void SaveFilterRecord(FilterRunner& runner, const std::string& path, const InputFiles& inputs);

} // namespace deepglass
