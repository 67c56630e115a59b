// Which module the tool loads: --module, then DEEPGLASS_MODULE, then the build folder's layout
// (beside the tool), then the installed one (lib/deepglass beside bin), found from the tool's own
// path so that any prefix works.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "expect_error.h"
#include "module/filter_runner.h"

using namespace deepglass;

namespace fs = std::filesystem;

namespace {

TEST(ModulePath, GivenThenEnvironmentThenBesideTheToolThenInstalled)
{
    const fs::path root = fs::temp_directory_path() / ("module_path_" + std::to_string(::getpid()));
    fs::remove_all(root);
    const fs::path tool = root / "usr" / "bin" / "deepglass";
    const fs::path installed =
        (tool.parent_path() / INSTALLED_MODULE_FOLDER / "KELDA.FLT").lexically_normal();
    fs::create_directories(tool.parent_path());
    fs::create_directories(installed.parent_path());

    // Nothing there: the error names both places and both ways of naming another.
    ExpectError([&] { FindModule("", nullptr, tool); }, "neither beside " + tool.string() + " nor in " +
                                                            installed.parent_path().string() +
                                                            "; give --module PATH or set DEEPGLASS_MODULE");

    std::ofstream(installed) << "module";
    EXPECT_EQ(FindModule("", nullptr, tool), installed.string());
    EXPECT_EQ(FindModule("", "", tool), installed.string()) << "an empty variable names nothing";
    std::ofstream(tool.parent_path() / "KELDA.FLT") << "module";
    EXPECT_EQ(FindModule("", nullptr, tool), (tool.parent_path() / "KELDA.FLT").string());
    // Named files are taken as named, whether they exist or not: loading says what is wrong.
    EXPECT_EQ(FindModule("", "/elsewhere/M.FLT", tool), "/elsewhere/M.FLT");
    EXPECT_EQ(FindModule("given.flt", "/elsewhere/M.FLT", tool), "given.flt");
    fs::remove_all(root);
}

} // namespace
