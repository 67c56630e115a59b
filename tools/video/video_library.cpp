#include "video/video_library.h"

#include <dlfcn.h>

#include <mutex>

#include "base/tool_error.h"

namespace deepglass {

namespace {

const VideoLibrary* Load()
{
    // By its bare name, so that the loader searches this program's run path; kept loaded for the
    // process, as the codecs' own threads and tables live there.
    void* library = dlopen(VIDEO_LIBRARY_FILE_NAME, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* error = dlerror();
        throw ToolError(std::string("videos are written and read by ") + VIDEO_LIBRARY_FILE_NAME +
                        ", which deepglass finds beside itself or in its module's folder: " +
                        (error != nullptr ? error : "it cannot be loaded"));
    }
    using Entry = const VideoLibrary* (*)();
    const auto entry = reinterpret_cast<Entry>(dlsym(library, VIDEO_LIBRARY_ENTRY_NAME));
    const VideoLibrary* table = entry != nullptr ? entry() : nullptr;
    if (table == nullptr || table->version != VIDEO_LIBRARY_VERSION)
        throw ToolError(std::string(VIDEO_LIBRARY_FILE_NAME) +
                        " is not the one this deepglass was built with");
    return table;
}

} // namespace

const VideoLibrary& LoadedVideoLibrary()
{
    static std::mutex loading;
    static const VideoLibrary* table = nullptr;
    const std::lock_guard<std::mutex> lock(loading);
    if (table == nullptr) table = Load();
    return *table;
}

} // namespace deepglass
