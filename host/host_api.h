// Import/export markers for the host's three libraries. Each library defines its own
// *_BUILDING macro while it is compiled; everyone else imports.
#pragma once

#ifdef _WIN32
#define HOST_EXPORT __declspec(dllexport)
#define HOST_IMPORT __declspec(dllimport)
#else
#define HOST_EXPORT __attribute__((visibility("default")))
#define HOST_IMPORT __attribute__((visibility("default")))
#endif

#ifdef HOST_BMM_BUILDING
#define HOST_BMM_API HOST_EXPORT
#else
#define HOST_BMM_API HOST_IMPORT
#endif

#ifdef HOST_FLT_BUILDING
#define HOST_FLT_API HOST_EXPORT
#else
#define HOST_FLT_API HOST_IMPORT
#endif

#ifdef HOST_CORE_BUILDING
#define HOST_CORE_API HOST_EXPORT
#else
#define HOST_CORE_API HOST_IMPORT
#endif
