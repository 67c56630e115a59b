// The module's identity texts as the host reads them: 256-byte buffers owned by the module.
#pragma once

#include <cstddef>

#include "deepglass_interface.h"

constexpr std::size_t IDENTITY_TEXT_SIZE = 256;

extern const char productName[IDENTITY_TEXT_SIZE]; // also the descriptor's class name
extern const char authorText[IDENTITY_TEXT_SIZE];
extern const char rightsText[IDENTITY_TEXT_SIZE];
