// Bash completion for deepglass, made from the command table and its option tables: the commands,
// each command's options, the fixed values an option takes, files where a value or an operand is one.
#pragma once

#include <string>

namespace deepglass {

// A script for bash-completion's completions folder (or to source), completing `deepglass`.
std::string BashCompletion();

} // namespace deepglass
