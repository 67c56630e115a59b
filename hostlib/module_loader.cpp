#include "module_loader.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

#ifdef _WIN32
void* OpenModule(const std::string& path, std::string& error)
{
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) error = "error code " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(module);
}

void CloseModule(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }

void* FindExport(void* handle, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
#else
void* OpenModule(const std::string& path, std::string& error)
{
    // A path without a slash would be searched for along the library path instead of taken as given.
    const std::string given = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = dlopen(given.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) error = dlerror();
    return handle;
}

void CloseModule(void* handle) { dlclose(handle); }

void* FindExport(void* handle, const char* name) { return dlsym(handle, name); }
#endif

template <typename Fn>
bool Resolve(void* handle, const char* name, Fn& fn, std::string& missing)
{
    fn = reinterpret_cast<Fn>(FindExport(handle, name));
    if (fn == nullptr && missing.empty()) missing = name;
    return fn != nullptr;
}

} // namespace

std::unique_ptr<LoadedModule> LoadedModule::Load(const std::string& path, std::string& error)
{
    std::string reason;
    void* handle = OpenModule(path, reason);
    if (handle == nullptr) {
        error = "cannot load module " + path + ": " + reason;
        return nullptr;
    }
    std::unique_ptr<LoadedModule> module(new LoadedModule(handle));
    std::string missing;
    Resolve(handle, "LibDescription", module->LibDescription, missing);
    Resolve(handle, "LibNumberClasses", module->LibNumberClasses, missing);
    Resolve(handle, "LibClassDesc", module->LibClassDesc, missing);
    Resolve(handle, "LibVersion", module->LibVersion, missing);
    if (!missing.empty()) {
        error = "module " + path + " lacks the export " + missing;
        return nullptr;
    }
    return module;
}

LoadedModule::~LoadedModule() { CloseModule(handle); }

void* LoadedModule::ExportByOrdinal(int ordinal) const
{
#ifdef _WIN32
    return reinterpret_cast<void*>(
        GetProcAddress(static_cast<HMODULE>(handle), MAKEINTRESOURCEA(static_cast<WORD>(ordinal))));
#else
    (void)ordinal;
    return nullptr;
#endif
}
