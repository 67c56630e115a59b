// Whole shots end to end: frame patterns and ranges, workers in parallel giving the same pictures
// as one, missing and failing frames, the JSON report, resuming with --skip-existing, and charts.
#include <gmock/gmock.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "cli_support.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class Shot : public CliTest {
protected:
    // Frames 1..count, each with depths of its own (so each its own grey scale); frame `broken`
    // is no EXR file.
    void WriteShot(int count, int broken = 0)
    {
        for (int frame = 1; frame <= count; ++frame) {
            const std::string name =
                "f." + std::string(frame < 10 ? "000" : "00") + std::to_string(frame) + ".exr";
            if (frame == broken) {
                std::ofstream(Path(name)) << "not an image";
                continue;
            }
            const double d = frame;
            WriteTestExr(Path(name), MakeTestFrame(3, 2, {-d, -2 * d, -1e30, -1.5 * d, -d, -3 * d}));
        }
    }

    std::string Bytes(const std::string& name) const
    {
        std::ifstream file(Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }
};

TEST_F(Shot, WorkersInParallelWriteTheSamePicturesAsOneAndAFailingFrameFailsAlone)
{
    WriteShot(7, 4);
    for (const char* jobs : {"1", "3"}) {
        const ToolRun run = Run({"apply", "-j", jobs, "--frames", "1-8", "f.####.exr", "-o",
                                 std::string("j") + jobs + "/g.%03d.png"});
        EXPECT_EQ(run.status, 1) << jobs;
        EXPECT_THAT(run.out, HasSubstr("[1/8] f.0001.exr -> j" + std::string(jobs) + "/g.001.png"));
        EXPECT_THAT(run.out, HasSubstr("8 frames: 6 written, 1 missing, 1 failed"));
        EXPECT_THAT(run.err, HasSubstr("error: f.0004.exr: not an EXR file"));
        EXPECT_THAT(run.err, HasSubstr("error: frame 8 missing: no file f.0008.exr"));
    }
    EXPECT_THAT(FolderNames(Path("j3")),
                ElementsAre("g.001.png", "g.002.png", "g.003.png", "g.005.png", "g.006.png", "g.007.png"));
    for (const std::string& name : FolderNames(Path("j1")))
        EXPECT_EQ(Bytes("j1/" + name), Bytes("j3/" + name)) << name;
    EXPECT_THAT(ReadPng(Path("j3/g.002.png")).Channel(0), ElementsAre(65535, 32767, 0, 49151, 65535, 0));
}

TEST_F(Shot, ReportHasAnEntryAFrameAndSkipExistingResumesWithoutRewriting)
{
    // The report's folder is made when missing, as a farm task's often is.
    WriteShot(3);
    const ToolRun first =
        Run({"apply", "--frames", "2-4", "f.%04d.exr", "-o", "grey/", "--report", "reports/run.json"});
    EXPECT_EQ(first.status, 1) << first.err;
    const nlohmann::json report = nlohmann::json::parse(Bytes("reports/run.json"));
    ASSERT_EQ(report["frames"].size(), 3u);
    const nlohmann::json& written = report["frames"][0];
    EXPECT_EQ(written["frame"], 2);
    EXPECT_EQ(written["input"], "f.0002.exr");
    EXPECT_EQ(written["output"], "grey/f.0002.png");
    EXPECT_EQ(written["status"], "written");
    EXPECT_EQ(written["depth_range"]["nearest"], 2.0);
    EXPECT_EQ(written["depth_range"]["farthest"], 6.0);
    EXPECT_GE(written["seconds"].get<double>(), 0.0);
    EXPECT_EQ(report["frames"][2]["status"], "missing");
    EXPECT_TRUE(report["frames"][2]["depth_range"].is_null());
    EXPECT_EQ(report["counts"]["written"], 2);

    std::filesystem::last_write_time(Path("grey/f.0002.png"), std::filesystem::file_time_type{});
    std::filesystem::remove(Path("grey/f.0003.png"));
    const ToolRun resumed = Run({"apply", "--frames", "2-3", "f.%04d.exr", "-o", "grey/", "--skip-existing",
                                 "--report", "reports/run.json"});
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_THAT(resumed.out, HasSubstr("2 frames: 1 written, 1 skipped, 0 failed"));
    EXPECT_EQ(std::filesystem::last_write_time(Path("grey/f.0002.png")), std::filesystem::file_time_type{});
    const nlohmann::json again = nlohmann::json::parse(Bytes("reports/run.json"));
    EXPECT_EQ(again["frames"][0]["status"], "skipped");
    EXPECT_EQ(again["frames"][1]["status"], "written");
    // Nothing but whole outputs is left behind.
    EXPECT_THAT(FolderNames(Path("grey")), ElementsAre("f.0002.png", "f.0003.png"));
    EXPECT_THAT(FolderNames(folder), Not(testing::Contains(HasSubstr(".tmp"))));

    // File names are bytes: one that is not UTF-8 is reported with those bytes escaped.
    std::filesystem::copy_file(Path("f.0002.exr"), Path("Tief\xE9.exr"));
    const ToolRun latin = Run({"apply", "Tief\xE9.exr", "-o", "grey/", "--report", "reports/latin.json"});
    EXPECT_EQ(latin.status, 0) << latin.err;
    const nlohmann::json named = nlohmann::json::parse(Bytes("reports/latin.json"));
    EXPECT_EQ(named["frames"][0]["input"], "Tief\\xE9.exr");
    EXPECT_EQ(named["frames"][0]["output"], "grey/Tief\\xE9.png");
}

TEST_F(Shot, InfoDrawsARangeChartForASequenceAndAHistogramForOneFrame)
{
    WriteShot(3);
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"info", "--frames", "1-3", "f.%04d.exr", "--plot", "range.png"},
          std::vector<std::string>{"info", "f.0002.exr", "--plot", "histogram.png"}}) {
        const ToolRun run = Run(arguments);
        EXPECT_EQ(run.status, 0) << run.err;
        const Png chart = ReadPng(Path(arguments.back()));
        EXPECT_EQ(chart.width, 1000);
        EXPECT_GT(chart.height, 400);
    }
    EXPECT_EQ(Run({"info", "f.0001.exr", "--plot", "chart.svg"}).status, 2);
}

} // namespace

// The default -j is the number of frames the memory budget holds: three 4K frames claiming about
// 220 MB each under a 250 MB budget are filtered one at a time, and each is written.
TEST_F(Shot, DefaultJobsFitTheMemoryBudget)
{
    ASSERT_EQ(Run({"sample", "--width", "3840", "--height", "2160", "a.exr"}).status, 0);
    std::filesystem::copy_file(Path("a.exr"), Path("b.exr"));
    std::filesystem::copy_file(Path("a.exr"), Path("c.exr"));
    const ToolRun run = Run({"apply", "--max-memory", "250M", "a.exr", "b.exr", "c.exr", "-o", "out/"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(FolderNames(Path("out")), ElementsAre("a.png", "b.png", "c.png"));
}
