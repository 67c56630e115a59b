// The fixed texts of the two dialog templates, shared by the resource script and the tests. The
// author and rights lines say the same as the filter's AuthorLine and RightsNotice.
#pragma once

#define TEXT_VERSION_LINE "Deepglass, Version 1.0"
#define TEXT_PRODUCT "Deepglass"
#define TEXT_VERSION "Version 1.0"
#define TEXT_AUTHOR "Deepglass developers"
#define TEXT_RIGHTS "Copyright (c) 2026 Deepglass developers"
#define TEXT_WEB_ADDRESS "deepglass.example.org"
