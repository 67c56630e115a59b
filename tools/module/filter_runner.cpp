#include "module/filter_runner.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "base/tool_error.h"
#include "deepglass_interface.h"
#include "module/filter_record.h"

namespace deepglass {

// Set by the build from its install layout.
const char* const INSTALLED_MODULE_FOLDER = DEEPGLASS_INSTALLED_MODULE_FOLDER;

FilterRunner::FilterRunner(const std::string& modulePath) : path(modulePath)
{
    std::string error;
    module = LoadedModule::Load(path, error);
    if (module == nullptr) throw ToolError(error);
    CreateFilter();
}

FilterRunner::FilterRunner(std::string modulePath, std::shared_ptr<LoadedModule> module)
    : path(std::move(modulePath)), module(std::move(module))
{
    CreateFilter();
}

void FilterRunner::CreateFilter()
{
    if (module->LibNumberClasses() < 1) throw ToolError("module " + path + " offers no classes");
    ClassDescriptor* descriptor = module->LibClassDesc(0);
    if (descriptor == nullptr) throw ToolError("module " + path + " gives no class descriptor");
    if (descriptor->SuperClassId() != FILTER_FAMILY)
        throw ToolError("module " + path + " offers no image filter");
    filter.reset(static_cast<ImageFilter*>(descriptor->Create(0)));
    if (filter == nullptr) throw ToolError("module " + path + " could not create a filter");
}

FilterRunner::~FilterRunner()
{
    filter.reset();
    module.reset();
}

std::unique_ptr<FilterRunner> FilterRunner::Twin()
{
    std::unique_ptr<FilterRunner> twin(new FilterRunner(path, module));
    if (!twin->LoadRecord(SaveRecord()))
        throw ToolError("a second filter refused the first one's configuration");
    return twin;
}

std::string FilterRunner::Description() const
{
    const char* text = module->LibDescription();
    return text != nullptr ? text : "";
}

std::uint32_t FilterRunner::LibraryVersion() const { return module->LibVersion(); }

std::size_t FilterRunner::RecordSize() { return filter->EvaluateConfigure(); }

std::vector<unsigned char> FilterRunner::SaveRecord()
{
    // Never less than the tool reads from a record, whatever size the filter claims.
    std::vector<unsigned char> record = PaddedRecord(std::vector<unsigned char>(RecordSize()));
    if (filter->SaveConfigure(record.data()) == 0)
        throw ToolError("the filter did not save its configuration");
    record.resize(RecordSize());
    return record;
}

bool FilterRunner::LoadRecord(const std::vector<unsigned char>& record)
{
    std::vector<unsigned char> padded = PaddedRecord(record);
    return filter->LoadConfigure(padded.data()) != 0;
}

std::uint32_t FilterRunner::ChannelsRequired() { return filter->ChannelsRequired(); }

void FilterRunner::Render(MemoryStorage& storage)
{
    Bitmap bitmap(&storage);
    filter->SetSource(&bitmap);
    const int result = filter->Render(0);
    filter->SetSource(nullptr);
    if (result == 0) throw ToolError("the filter did not render the frame");
}

std::string FindModule(const std::string& given, const char* environment,
                       const std::filesystem::path& executable, const std::string& installedFolder)
{
    if (!given.empty()) return given;
    if (environment != nullptr && *environment != '\0') return environment;
    const std::filesystem::path folder = executable.parent_path();
    const std::filesystem::path beside = folder / MODULE_FILE_NAME;
    const std::filesystem::path installed = (folder / installedFolder / MODULE_FILE_NAME).lexically_normal();
    std::error_code error;
    for (const std::filesystem::path& candidate : {beside, installed})
        if (std::filesystem::is_regular_file(candidate, error)) return candidate.string();
    throw ToolError("no module: " + std::string(MODULE_FILE_NAME) + " is neither beside " +
                    executable.string() + " nor in " + installed.parent_path().string() +
                    "; give --module PATH or set " + MODULE_ENVIRONMENT_VARIABLE);
}

std::string ModulePath(const std::string& given)
{
    std::error_code error;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) executable = "deepglass";
    return FindModule(given, std::getenv(MODULE_ENVIRONMENT_VARIABLE), executable);
}

} // namespace deepglass
