// Outputs that cannot be written whole: a file-size limit (as a full disk refuses bytes) and a
// folder the tool may not write in. The frame fails with the system's reason, no partial or
// temporary file is left, and the other frames are written as usual.
#include <gmock/gmock.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "cli_support.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

namespace fs = std::filesystem;

namespace {

constexpr const char* FORMATS[] = {"png", "exr"};

class OutputFaults : public CliTest {
protected:
    // A tiny frame, and the tool's sample scene, whose pictures are written in many small pieces.
    void WriteFrames(const std::string& small, const std::string& large)
    {
        WriteTestExr(Path(small), MakeTestFrame(2, 1, {-1.0, -2.0}));
        ASSERT_EQ(Run({"sample", large}).status, 0);
    }

    std::string Bytes(const std::string& name) const
    {
        std::ifstream file(Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }
};

TEST_F(OutputFaults, FileSizeLimitFailsTheFrameItCutsShortAndNoOther)
{
    WriteFrames("a.exr", "b.exr");
    for (const std::string format : FORMATS) {
        const ToolRun reference =
            Run({"apply", "--format", format, "a.exr", "b.exr", "-o", "ref-" + format + "/"});
        ASSERT_EQ(reference.status, 0) << reference.err;
        const std::uintmax_t large = fs::file_size(Path("ref-" + format + "/b." + format));
        // Half the large picture, and each cut in its last 8 KB: the last bytes of a file reach
        // the disk only as it is closed.
        std::vector<std::uintmax_t> limits{large / 2};
        for (std::uintmax_t cut = 1; cut <= 8192 && cut < large; cut += 512) limits.push_back(large - cut);
        for (const std::uintmax_t limit : limits) {
            SCOPED_TRACE(format + " limited to " + std::to_string(limit / 512 * 512) + " of " +
                         std::to_string(large) + " bytes");
            const std::string out = "out-" + std::to_string(limit) + "/";
            const ToolRun run = Run({"apply", "--format", format, "a.exr", "b.exr", "-o", out}, {limit});
            EXPECT_EQ(run.status, 1);
            EXPECT_THAT(run.err, HasSubstr("cannot write " + out + "b." + format));
            EXPECT_THAT(run.err, HasSubstr("File too large"));
            EXPECT_THAT(run.out, HasSubstr("2 frames: 1 written, 1 failed"));
            EXPECT_THAT(FolderNames(Path(out)), ElementsAre("a." + format));
            EXPECT_EQ(Bytes(out + "a." + format), Bytes("ref-" + format + "/a." + format));
        }
    }
}

TEST_F(OutputFaults, ReadOnlyFolderFailsItsFrameAlsoForRoot)
{
    fs::create_directories(Path("open"));
    fs::create_directories(Path("shut"));
    // Inputs named so that an EXR picture beside them does not take their name.
    for (const char* name : {"open/a.frame", "shut/b.frame"})
        WriteTestExr(Path(name), MakeTestFrame(2, 1, {-1.0, -2.0}));
    fs::permissions(Path("shut"), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    for (const std::string format : FORMATS) {
        SCOPED_TRACE(format);
        const ToolRun run = Run({"apply", "--format", format, "open/a.frame", "shut/b.frame"}, {0, true});
        EXPECT_EQ(run.status, 1);
        EXPECT_THAT(run.err, HasSubstr("cannot write shut/b." + format));
        EXPECT_THAT(run.err, HasSubstr("Permission denied"));
        EXPECT_THAT(run.out, HasSubstr("2 frames: 1 written, 1 failed"));
        EXPECT_THAT(FolderNames(Path("open")), UnorderedElementsAre("a." + format, "a.frame"));
        EXPECT_THAT(FolderNames(Path("shut")), ElementsAre("b.frame"));
        fs::remove(Path("open/a." + format));
    }
    fs::permissions(Path("shut"), fs::perms::owner_write, fs::perm_options::add);
}

} // namespace
