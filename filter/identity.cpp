#include "identity.h"

const char productName[IDENTITY_TEXT_SIZE] = "Deepglass";
const char authorText[IDENTITY_TEXT_SIZE] = "Deepglass developers";
const char rightsText[IDENTITY_TEXT_SIZE] = "Copyright (c) 2026 Deepglass developers";
