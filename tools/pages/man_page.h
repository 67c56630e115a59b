// The manual page deepglass(1), made from the command table, its option tables and the texts of
// the tool's help, so that the page says what the help says.
#pragma once

#include <string>

namespace deepglass {

// The page in the man macros of roff.
std::string ManPage();

} // namespace deepglass
