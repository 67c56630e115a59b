#include "dialog_module.h"

#include <string>

#include "module_file.h"

void DialogModuleTest::SetUp()
{
    std::string error;
    module = LoadedModule::Load(ModuleBesideExecutable(), error);
    ASSERT_NE(module, nullptr) << error;
}

FilterHandle DialogModuleTest::NewFilter()
{
    return FilterHandle(static_cast<ImageFilter*>(module->LibClassDesc(0)->Create(0)));
}
