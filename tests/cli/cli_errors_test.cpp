// Every bad input the tool can meet: its message names the file and the fault, the exit status
// is not 0, and no output (nor any temporary file) is left behind.
#include <ImfChannelList.h>
#include <ImfDeepFrameBuffer.h>
#include <ImfDeepScanLineOutputFile.h>
#include <ImfHeader.h>
#include <ImfPartType.h>

#include <gmock/gmock.h>

#include <fstream>

#include "cli_support.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

class BadInput : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        WriteTestExr(Path("good.exr"), MakeTestFrame(2, 1, {-1, -2}, {}, {1, 300}, {1, 2}));
        before = FolderNames(folder);
    }

    // Runs the tool and expects the status, the message on the error stream and no new files.
    void ExpectRefused(const std::vector<std::string>& arguments, int status, const std::string& message,
                       const RunLimits& limits = {})
    {
        const ToolRun run = Run(arguments, limits);
        EXPECT_EQ(run.status, status) << run.err;
        EXPECT_THAT(run.err, HasSubstr(message));
        EXPECT_THAT(FolderNames(folder), ElementsAreArray(before));
    }

    std::vector<std::string> before;
};

TEST_F(BadInput, UnreadableOrForeignFilesAreNamed)
{
    ExpectRefused({"apply", "missing.exr", "-o", "out.png"}, 1,
                  "cannot read missing.exr: No such file or directory");
    std::filesystem::create_directories(Path("folder.exr"));
    before = FolderNames(folder);
    ExpectRefused({"apply", "folder.exr", "-o", "out.png"}, 1, "cannot read folder.exr: it is a folder");
    std::ofstream(Path("text.exr")) << "plain text, not pixels";
    std::ofstream(Path("empty.exr")).close();
    before = FolderNames(folder);
    ExpectRefused({"apply", "text.exr", "-o", "out.png"}, 1, "error: text.exr: not an EXR file");
    ExpectRefused({"apply", "empty.exr", "-o", "out.png"}, 1, "error: empty.exr: not an EXR file");
}

TEST_F(BadInput, TruncatedFileIsDamaged)
{
    WriteTestExr(Path("whole.exr"), MakeTestFrame(64, 64, std::vector<double>(64 * 64, -1.0)));
    std::ifstream in(Path("whole.exr"), std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::ofstream(Path("cut.exr"), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    std::filesystem::remove(Path("whole.exr"));
    before = FolderNames(folder);
    ExpectRefused({"apply", "cut.exr", "-o", "out.png"}, 1, "cut.exr: damaged or truncated EXR file");
}

TEST_F(BadInput, FileClaimingMoreThanItHoldsOrMayTakeIsRefusedBeforeItIsRead)
{
    WriteTestExr(Path("whole.exr"), MakeTestFrame(64, 64, std::vector<double>(64 * 64, -1.0)));
    std::ifstream in(Path("whole.exr"), std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    // The same file with a data window of 30000 x 30000 pixels: its chunks are those of 64 rows.
    const std::string window("dataWindow\0box2i\0\x10\0\0\0", 21);
    const std::size_t at = bytes.find(window);
    ASSERT_NE(at, std::string::npos);
    for (const std::size_t corner : {8, 12}) bytes.replace(at + window.size() + corner, 4, "\x2f\x75\0\0", 4);
    std::ofstream(Path("claims.exr"), std::ios::binary) << bytes;
    before = FolderNames(folder);
    ExpectRefused({"apply", "claims.exr", "-o", "out.png", "--max-memory", "64G"}, 1,
                  "claims.exr: damaged or truncated EXR file: its headers claim 17 GB of samples");
    ExpectRefused({"apply", "whole.exr", "-o", "out.exr", "--max-memory", "64K"}, 1,
                  "whole.exr: its headers claim 80 KB of samples, more than the 64 KB one frame may take");
    // A display window, which no sample backs, is held to the budget as the picture it makes.
    TestFrame wide = MakeTestFrame(2, 1, {-1.0, -2.0});
    wide.displayWidth = wide.displayHeight = 60000;
    WriteTestExr(Path("wide.exr"), wide);
    before = FolderNames(folder);
    ExpectRefused(
        {"apply", "wide.exr", "-o", "out.png", "--max-memory", "1G"}, 1,
        "wide.exr: the display window is 60000 x 60000 pixels, a picture of 6.7 GB, more than the 1.0 GB");
}

TEST_F(BadInput, DeepFileWithoutZIsRejected)
{
    Imf::Header header(2, 1);
    header.setType(Imf::DEEPSCANLINE);
    header.compression() = Imf::ZIPS_COMPRESSION;
    header.channels().insert("depth", Imf::Channel(Imf::FLOAT));
    std::vector<unsigned int> counts = {1, 1};
    std::vector<float> samples = {-1.0f, -2.0f};
    std::vector<float*> pointers = {&samples[0], &samples[1]};
    {
        Imf::DeepScanLineOutputFile file(Path("deep.exr").c_str(), header);
        Imf::DeepFrameBuffer buffer;
        buffer.insertSampleCountSlice(Imf::Slice(Imf::UINT, reinterpret_cast<char*>(counts.data()),
                                                 sizeof(unsigned int), sizeof(unsigned int) * 2));
        buffer.insert("depth", Imf::DeepSlice(Imf::FLOAT, reinterpret_cast<char*>(pointers.data()),
                                              sizeof(float*), sizeof(float*) * 2, sizeof(float)));
        file.setFrameBuffer(buffer);
        file.writePixels(1);
    }
    before = FolderNames(folder);
    ExpectRefused({"apply", "deep.exr", "-o", "out.png"}, 1,
                  "deep.exr: part 0: deep channel depth has no Z channel to order its samples by");
}

TEST_F(BadInput, FrameWithoutDepthListsItsChannels)
{
    TestFrame frame = MakeTestFrame(2, 1, {-1, -2});
    frame.channels.back().name = "depth";
    WriteTestExr(Path("nodepth.exr"), frame);
    before = FolderNames(folder);
    ExpectRefused({"apply", "nodepth.exr", "-o", "out.png"}, 1,
                  "nodepth.exr: no depth channel Z (the frame has A (HALF), B (HALF), G (HALF), R (HALF), "
                  "depth (FLOAT)");
    ExpectRefused({"apply", "good.exr", "--depth", "P", "-o", "out.png"}, 1, "no depth channel P");
}

TEST_F(BadInput, FrameWiderThanTheHostTakesIsRefused)
{
    WriteTestExr(Path("wide.exr"), MakeTestFrame(65536, 1, std::vector<double>(65536, -1.0)));
    before = FolderNames(folder);
    ExpectRefused(
        {"apply", "wide.exr", "-o", "out.png"}, 1,
        "wide.exr: the frame is 65536 x 1 pixels; frames can be at most 65535 pixels wide and high");
}

TEST_F(BadInput, IdsThatDoNotFitTheHostsChannelNameThePixel)
{
    // Material 300 sits at pixel (1, 0); the whole mode does not need the channel.
    ExpectRefused(
        {"apply", "--mode", "material", "--id", "1", "good.exr", "-o", "out.png"}, 1,
        "channel materialID holds 300 at pixel (1, 0), which does not fit the host's 8-bit channel");
    TestFrame frame = MakeTestFrame(2, 2, {-1, -2, -3, -4}, {}, {}, {1, 2, 2.5, 1});
    frame.channels.back().type = Imf::FLOAT;
    frame.minX = 10;
    frame.minY = 20;
    WriteTestExr(Path("half-id.exr"), frame);
    before = FolderNames(folder);
    ExpectRefused({"apply", "--mode", "object", "half-id.exr", "-o", "out.png"}, 1,
                  "channel objectID holds 2.5 at pixel (10, 21); IDs must be whole numbers from 0 to 65535");
    EXPECT_EQ(Run({"apply", "good.exr", "-o", "whole.png"}).status, 0);
}

// Every mistake and its message is in the in-process table of tool_unit_test.cpp; here, that a
// mistake of each stage (an option's value, the checks after parsing, the command) ends the run
// with status 2 before any file is touched.
TEST_F(BadInput, CommandLineMistakesAreUsageErrors)
{
    ExpectRefused({"apply", "--mode", "depth", "good.exr"}, 2,
                  "unknown mode depth: use --mode whole, material or object");
    ExpectRefused({"apply", "--mode", "material", "--id", "9", "good.exr"}, 2,
                  "--id 9 is out of range: material-effects IDs run from 1 to 8");
    ExpectRefused({"paint"}, 2, "unknown command paint");
}

TEST_F(BadInput, RecordsOfTheWrongSizeOrTagAreRefused)
{
    std::ofstream(Path("short.cfg"), std::ios::binary) << std::string(15, '\0');
    std::ofstream(Path("zero.cfg"), std::ios::binary) << std::string(16, '\0');
    before = FolderNames(folder);
    ExpectRefused({"apply", "--config", "short.cfg", "good.exr", "-o", "out.png"}, 1,
                  "short.cfg: a configuration record is 16 bytes; this file has 15");
    ExpectRefused(
        {"apply", "--config", "zero.cfg", "good.exr", "-o", "out.png"}, 1,
        "zero.cfg: not a Deepglass configuration record (its tag is 0x00000000, the filter's 0x5E7601D7)");
    ExpectRefused({"apply", "--config", "none.cfg", "good.exr", "-o", "out.png"}, 1, "cannot read none.cfg");
    ExpectRefused({"apply", "--config", "zero.cfg", "--mode", "object", "good.exr"}, 2,
                  "without --mode and --id");
}

TEST_F(BadInput, ModulesThatDoNotLoadOrLackAnExportAreNamed)
{
    std::ofstream(Path("fake.flt")) << "not a module";
    before = FolderNames(folder);
    ExpectRefused({"apply", "--module", "fake.flt", "good.exr", "-o", "out.png"}, 1,
                  "cannot load module fake.flt");
    ExpectRefused({"apply", "--module", HostLibraryPath(), "good.exr", "-o", "out.png"}, 1,
                  "lacks the export LibDescription");
    const ToolRun version = Run({"--version", "--module", "fake.flt"});
    EXPECT_EQ(version.status, 1);
    EXPECT_THAT(version.out, StartsWith("deepglass 1.0\nmodule: cannot load module fake.flt"));
}

TEST_F(BadInput, InputsAreNeverWrittenOver)
{
    std::ifstream in(Path("good.exr"), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    ExpectRefused({"apply", "good.exr", "-o", "good.exr"}, 1, "the output good.exr is the input good.exr");
    ExpectRefused({"apply", "good.exr", "-o", "./sub/../good.exr"}, 1, "inputs are never written over");
    ExpectRefused({"apply", "--format", "exr", "good.exr"}, 1, "inputs are never written over");
    ExpectRefused({"apply", "good.exr", "--save-config", "good.exr"}, 1, "inputs are never written over");
    std::ifstream after(Path("good.exr"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(after), {}), bytes);
}

// A folder the tool may not write in (also as root): no temporary can be made there. A final name
// that a folder holds: the temporary is written whole, cannot take the name, and must be removed.
TEST_F(BadInput, OutputThatCannotBeWrittenLeavesNoTemporaryFile)
{
    namespace fs = std::filesystem;
    fs::create_directories(Path("shut"));
    fs::permissions(Path("shut"), fs::perms(0555));
    fs::create_directories(Path("taken/good.exr"));
    before = FolderNames(folder);
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
        std::string folder;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {{"-o", "shut/"}, "error: good.exr: cannot write shut/good.png: Permission denied", "shut", {}},
        // The output's path holds the input's name; the message still names the input first.
        {{"-o", "taken/", "--format", "exr"},
         "error: good.exr: cannot write taken/good.exr: Is a directory",
         "taken",
         {"good.exr"}},
    };
    for (const Case& test : cases) {
        std::vector<std::string> arguments = {"apply", "good.exr"};
        arguments.insert(arguments.end(), test.arguments.begin(), test.arguments.end());
        ExpectRefused(arguments, 1, test.message, {.permissionsBindRoot = true});
        EXPECT_THAT(FolderNames(Path(test.folder)), ElementsAreArray(test.left)) << test.message;
    }
}

} // namespace
