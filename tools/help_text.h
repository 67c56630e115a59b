// The help texts of the tool and of each command.
#pragma once

#include <string>

// topic: "" for the tool, or "apply", "info", "sample", "demo".
std::string HelpText(const std::string& topic);
