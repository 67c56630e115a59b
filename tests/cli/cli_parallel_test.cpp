// Many workers at once on every kind of output (PNG, EXR and video, each filter mode, a report, a failing
// frame): the files are those one worker writes. The ThreadSanitizer build runs this test to see
// the workers, their filters and the module they share at work together.
#include <gmock/gmock.h>

#include <fstream>
#include <iterator>

#include "cli_support.h"

using ::testing::HasSubstr;

namespace {

constexpr int FRAMES = 12;
constexpr int BROKEN = 7;

class ParallelApply : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        const int width = 24, height = 16;
        for (int frame = 1; frame <= FRAMES; ++frame) {
            const std::string name = "f." + std::to_string(100 + frame) + ".exr";
            if (frame == BROKEN) {
                std::ofstream(Path(name)) << "not an image";
                continue;
            }
            std::vector<double> depth, materials, objects;
            for (int i = 0; i < width * height; ++i) {
                depth.push_back(i % 11 == 0 ? -1e30 : -1.0 - ((i * 7 + frame * 13) % 97) / 10.0);
                materials.push_back(1 + (i / 5 + frame) % 3);
                objects.push_back(1 + (i / 3) % 4);
            }
            WriteTestExr(Path(name), MakeTestFrame(width, height, depth, {}, materials, objects));
        }
    }

    std::string Bytes(const std::string& name) const
    {
        std::ifstream file(Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }
};

TEST_F(ParallelApply, ManyWorkersWriteWhatOneWrites)
{
    const std::vector<std::vector<std::string>> settings = {
        {"--format", "png"},
        {"--format", "exr", "--mode", "object", "--id", "3"},
        {"--format", "png", "--mode", "material", "--id", "2", "--background", "depth:-1e30", "--opaque"},
    };
    for (std::size_t s = 0; s < settings.size(); ++s) {
        for (const char* jobs : {"1", "4"}) {
            std::vector<std::string> arguments = {"apply", "-j", jobs, "--frames", "101-112", "f.%03d.exr"};
            arguments.insert(arguments.end(), settings[s].begin(), settings[s].end());
            const std::string out = "s" + std::to_string(s) + "-j" + jobs;
            arguments.insert(arguments.end(), {"-o", out + "/", "--report", out + ".json"});
            const ToolRun run = Run(arguments);
            SCOPED_TRACE(out + "\n" + run.err);
            EXPECT_EQ(run.status, 1);
            EXPECT_THAT(run.out, HasSubstr("12 frames: 11 written, 1 failed"));
        }
        const std::string one = "s" + std::to_string(s) + "-j1", four = "s" + std::to_string(s) + "-j4";
        const std::vector<std::string> names = FolderNames(Path(one));
        EXPECT_EQ(names.size(), static_cast<std::size_t>(FRAMES - 1));
        EXPECT_EQ(FolderNames(Path(four)), names);
        for (const std::string& name : names)
            EXPECT_EQ(Bytes(one + "/" + name), Bytes(four + "/" + name)) << name;
    }
}

// Frames filtered by many workers reach a video in their order: the file is the one a single
// worker writes. A frame that fails while others wait for their turn fails the video, and nothing
// is left of it.
TEST_F(ParallelApply, AVideoTakesItsFramesInOrderFromManyWorkers)
{
    for (const char* jobs : {"1", "4"}) {
        const ToolRun run = Run({"apply", "-j", jobs, "--frames", "101-106,108-112", "f.%03d.exr", "-o",
                                 std::string("v") + jobs + ".mkv"});
        ASSERT_EQ(run.status, 0) << run.err;
    }
    EXPECT_EQ(Bytes("v1.mkv"), Bytes("v4.mkv"));
    const std::vector<std::string> before = FolderNames(folder);
    const ToolRun failed = Run({"apply", "-j", "4", "--frames", "101-112", "f.%03d.exr", "-o", "all.mkv"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_THAT(failed.err, HasSubstr("all.mkv not written, as frame 107"));
    EXPECT_EQ(FolderNames(folder), before);
}

} // namespace
