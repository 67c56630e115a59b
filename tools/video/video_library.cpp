#include "video/video_library.h"

#include <dlfcn.h>

#include <cerrno>
#include <filesystem>
#include <mutex>
#include <vector>

#include "base/tool_error.h"

namespace deepglass {

namespace {

// The file this code was loaded from: the tool's executable, or the Python extension it is linked
// into.
std::filesystem::path OwnFile()
{
    Dl_info info{};
    const bool found =
        dladdr(reinterpret_cast<const void*>(&OwnFile), &info) != 0 && info.dli_fname != nullptr;
    // For the program itself the loader names argv[0], which need not be a path.
    if (found && info.dli_fname != program_invocation_name && info.dli_fname[0] == '/') return info.dli_fname;
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

// Where the library may be, in order: beside that file (a build folder, the Python package, the
// Blender add-on), then in the module's folder of an installation, from the tool's folder or from
// the Python package's.
std::vector<std::filesystem::path> Places()
{
    const std::filesystem::path folder = OwnFile().parent_path();
    return {folder / VIDEO_LIBRARY_FILE_NAME,
            (folder / DEEPGLASS_INSTALLED_MODULE_FOLDER / VIDEO_LIBRARY_FILE_NAME).lexically_normal(),
            (folder / DEEPGLASS_PYTHON_MODULE_FOLDER / VIDEO_LIBRARY_FILE_NAME).lexically_normal()};
}

const VideoLibrary* Load()
{
    const std::vector<std::filesystem::path> places = Places();
    std::string looked;
    for (const std::filesystem::path& place : places) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(place, error)) {
            looked += (looked.empty() ? "" : ", ") + place.string();
            continue;
        }
        // Kept loaded for the process: the codecs' threads and tables live there.
        void* library = dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            const char* why = dlerror();
            throw ToolError("cannot load " + place.string() +
                            ", which writes and reads videos: " + (why != nullptr ? why : "unknown error"));
        }
        using Entry = const VideoLibrary* (*)();
        const auto entry = reinterpret_cast<Entry>(dlsym(library, VIDEO_LIBRARY_ENTRY_NAME));
        const VideoLibrary* table = entry != nullptr ? entry() : nullptr;
        if (table == nullptr || table->version != VIDEO_LIBRARY_VERSION)
            throw ToolError(place.string() + " is not the video library this deepglass was built with");
        return table;
    }
    throw ToolError(std::string("no ") + VIDEO_LIBRARY_FILE_NAME + ", which writes and reads videos, in " +
                    looked);
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
