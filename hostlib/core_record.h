// What the stand-in core library lets tests see of its use.
#pragma once

#include "host_api.h"
#include "platform_types.h"

// How often InitCustomControls was called, and with which instance last.
HOST_CORE_API int CustomControlsInitCount();
HOST_CORE_API HINSTANCE CustomControlsInstance();
// Spinner interfaces handed out by GetISpinner and not yet given back.
HOST_CORE_API int LiveSpinnerCount();
