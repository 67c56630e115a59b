// Numbers as messages show them: the shortest text that reads back as the same value.
#pragma once

#include <string>

std::string NumberText(float value);
