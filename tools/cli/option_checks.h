// The checks of a command line as a whole, once every option is parsed: where options contradict
// one another or the operands, a UsageError saying so; what is left to settle (the output's
// format, whether it is a folder, the compiled --matte patterns) settled here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cryptomatte/matte_ids.h"
#include "module/filter_configuration.h"
#include "shot/output_paths.h"

namespace deepglass {

// The transform --colour asks for, with `config` the value of $OCIO (null or empty: none): none for
// linear; a UsageError for DISPLAY/VIEW without a config, for a config that does not load and for
// a display or view it does not have.
std::shared_ptr<const DisplayColour> ResolveColour(const ColourChoice& choice, const char* config);

// The choice contradicts itself or its ID lies outside its mode's range.
void CheckFilterChoice(const FilterChoice& choice);
// --cryptomatte without --matte, --matte outside the object and material modes, a pattern that
// cannot be read. Compiles `patterns` into the request; without --id, sets the filter's ID to 1:
// the pixels selected are given the filter's ID.
void CheckMatteRequest(const std::vector<std::string>& patterns, MatteRequest& request, FilterChoice& filter);
// --clip with a scale given outright, which has no depths to take percentiles of; --curve inverse
// with a given scale from 0, where 1/depth has no grey.
void CheckRangeChoice(const RangeChoice& range);
// A frame pattern among the inputs without --frames.
void CheckShotInputs(const std::vector<std::string>& inputs, const std::vector<int>& frames);
// Settles whether the target is a folder (several inputs, a trailing "/" or an existing folder)
// and its format: from a file's name, else `asked`, else PNG; a video's name is one file whatever
// the inputs. A UsageError where name, inputs and format disagree.
void ResolveOutputTarget(OutputTarget& target, std::optional<OutputFormat> asked, std::size_t inputCount);
// Settles an output pattern ("grey.%04d.png"): its format from its name, never a folder.
void ResolvePatternOutput(OutputTarget& target, std::optional<OutputFormat> asked);

} // namespace deepglass
