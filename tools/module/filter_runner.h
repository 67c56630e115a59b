// The plug-in module as the tool drives it, exactly as the host does: loaded from its file,
// reached only through its four exports, one filter made by the class descriptor and destroyed
// through its virtual destructor.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "image_filter.h"
#include "memory_storage.h"
#include "module_loader.h"

namespace deepglass {

class FilterRunner {
public:
    // A ToolError when the module does not load, lacks an export or offers no image filter.
    explicit FilterRunner(const std::string& modulePath);
    ~FilterRunner();
    // Another filter from the same loaded module, with this one's configuration: one for each
    // worker of a parallel run (the module keeps no state between filters).
    std::unique_ptr<FilterRunner> Twin();
    FilterRunner(const FilterRunner&) = delete;
    FilterRunner& operator=(const FilterRunner&) = delete;

    // "Deepglass, ..." (the module's description) and its library version.
    std::string Description() const;
    std::uint32_t LibraryVersion() const;

    // The filter's configuration record, as long as the filter says it is.
    std::vector<unsigned char> SaveRecord();
    // False when the filter refuses the record (its tag is not the filter's).
    bool LoadRecord(const std::vector<unsigned char>& record);
    std::size_t RecordSize();
    std::uint32_t ChannelsRequired();

    // Hands the frame in the stand-in host's storage to the filter and renders it where it is; a
    // ToolError when the filter answers failure.
    void Render(MemoryStorage& storage);

private:
    FilterRunner(std::string modulePath, std::shared_ptr<LoadedModule> module);
    void CreateFilter();

    std::string path;
    std::shared_ptr<LoadedModule> module;
    // Destroyed before the module is unloaded: its code lives there.
    std::unique_ptr<ImageFilter> filter;
};

// The module's file name, the environment variable that may name another file, and the folder an
// installation puts the module in, relative to the folder of the installed deepglass.
constexpr const char* MODULE_FILE_NAME = "KELDA.FLT";
constexpr const char* MODULE_ENVIRONMENT_VARIABLE = "DEEPGLASS_MODULE";
extern const char* const INSTALLED_MODULE_FOLDER; // "../lib/deepglass" as configured

// The module to load: `given` (--module) when not empty, else the file `environment` names when
// not null or empty, else the first of KELDA.FLT beside `executable` (a build folder) and
// KELDA.FLT in `installedFolder` from its folder (INSTALLED_MODULE_FOLDER for the tool; another face
// installed elsewhere gives its own) that exists. A ToolError naming both places when neither
// holds one.
std::string FindModule(const std::string& given, const char* environment,
                       const std::filesystem::path& executable,
                       const std::string& installedFolder = INSTALLED_MODULE_FOLDER);
// FindModule for the running executable and its environment.
std::string ModulePath(const std::string& given);

} // namespace deepglass
