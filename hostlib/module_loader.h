// How the stand-in host loads a plug-in module: by path, through the platform's loader, and then
// only through its four exports.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "class_descriptor.h"

class LoadedModule {
public:
    using DescriptionFn = const char* (*)();
    using NumberClassesFn = int (*)();
    using ClassDescFn = ClassDescriptor* (*)(int);
    using VersionFn = std::uint32_t (*)();

    // The loaded module, or null with `error` saying what went wrong (the file does not load, or
    // an export is missing).
    static std::unique_ptr<LoadedModule> Load(const std::string& path, std::string& error);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    DescriptionFn LibDescription = nullptr;
    NumberClassesFn LibNumberClasses = nullptr;
    ClassDescFn LibClassDesc = nullptr;
    VersionFn LibVersion = nullptr;

    // The platform's handle of the loaded file.
    void* Handle() const { return handle; }
    // The address an export has when looked up by ordinal (Windows), or null.
    void* ExportByOrdinal(int ordinal) const;

private:
    explicit LoadedModule(void* handle) : handle(handle) {}
    void* handle;
};
