// Shots written as videos, checked with Debian's ffprobe and ffmpeg, which read them as any user's
// tools would: codec, pixels, frames, rate and metadata; an .mkv's frames level for level the
// pictures the same options write; an .mp4's greys close to the 8-bit pictures; what a video cannot
// hold refused with nothing written; a failing frame failing the video; damaged videos refused by
// name when read back.
#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfOutputFile.h>
#include <ImfStandardAttributes.h>

#include <gmock/gmock.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli_support.h"

using ::testing::HasSubstr;

namespace {

struct Shell {
    int status = -1;
    std::string out;
};

// Runs `command` in `folder` with sh, its output and errors together.
Shell RunShell(const std::filesystem::path& folder, const std::string& command)
{
    const std::string line = "cd '" + folder.string() + "' && " + command + " 2>&1";
    std::FILE* pipe = popen(line.c_str(), "r");
    Shell shell;
    char buffer[4096];
    for (std::size_t n; pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        shell.out.append(buffer, n);
    shell.status = pipe != nullptr ? pclose(pipe) : -1;
    return shell;
}

class Video : public CliTest {
protected:
    // The four frames of a dolly a path tracer rendered (64 x 36, fixtures/dolly.py), as d.NNNN.exr.
    void CopyDolly()
    {
        for (int frame = 1; frame <= 4; ++frame)
            std::filesystem::copy_file(std::string(DEEPGLASS_FIXTURES) + "/cycles-dolly-64x36.000" +
                                           std::to_string(frame) + ".exr",
                                       Path("d.000" + std::to_string(frame) + ".exr"));
    }

    Shell Sh(const std::string& command) { return RunShell(folder, command); }

    // What ffprobe says of the video stream and the container, tag names in lower case (Matroska
    // spells them in capitals).
    nlohmann::json Probe(const std::string& video)
    {
        const Shell probe =
            Sh("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
               "stream=codec_name,pix_fmt,nb_read_frames,r_frame_rate,color_range:format_tags "
               "-of json " +
               video);
        EXPECT_EQ(probe.status, 0) << "ffprobe (Debian ffmpeg, installed by scripts/setup.sh): " << probe.out;
        nlohmann::json found = nlohmann::json::parse(probe.out, nullptr, false);
        if (found.is_discarded()) return {};
        nlohmann::json tags;
        for (auto tag = found["format"]["tags"].begin(); tag != found["format"]["tags"].end(); ++tag) {
            std::string name = tag.key();
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            tags[name] = tag.value();
        }
        nlohmann::json result = found["streams"][0];
        result["tags"] = tags;
        return result;
    }

    // The MD5 of each frame ffmpeg decodes from `input` into `pixels`.
    std::vector<std::string> FrameDigests(const std::string& input, const std::string& pixels)
    {
        const Shell run = Sh("ffmpeg -v error -i " + input + " -f framemd5 -pix_fmt " + pixels + " -");
        EXPECT_EQ(run.status, 0) << run.out;
        std::vector<std::string> digests;
        std::istringstream lines(run.out);
        for (std::string line; std::getline(lines, line);)
            if (!line.empty() && line[0] != '#') digests.push_back(line.substr(line.rfind(',') + 2));
        return digests;
    }
};

// An .mkv holds each frame level for level as the PNG of the same options: 16 and 8 bits, grey, and
// RGBA in an ID mode; ffprobe finds FFV1, the pixel format, four frames at 24 a second, and the
// mapping with the frame numbers.
TEST_F(Video, MkvFramesEqualThePicturesOfTheSameRun)
{
    CopyDolly();
    struct Case {
        std::vector<std::string> options;
        std::string stored, compared, grey;
        int bits;
    };
    const std::vector<Case> cases = {
        {{}, "gray16le", "gray16le", "grey", 16},
        {{"--bits", "8"}, "gray", "gray", "grey", 8},
        {{"--mode", "object", "--id", "3"}, "gbrap16le", "rgba64le", "R,G,B,A", 16},
        {{"--mode", "object", "--id", "3", "--bits", "8", "--opaque"}, "bgra", "rgba", "R,G,B", 8},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string name = "case" + std::to_string(index++);
        SCOPED_TRACE(name);
        std::vector<std::string> video = {"apply", "--frames", "1-4", "d.%04d.exr", "-o", name + ".mkv"};
        std::vector<std::string> pictures = {"apply",   "--frames", "1-4", "d.%04d.exr",
                                             "--range", "shot",     "-o",  name + ".%04d.png"};
        video.insert(video.end(), c.options.begin(), c.options.end());
        pictures.insert(pictures.end(), c.options.begin(), c.options.end());
        const ToolRun run = Run(video);
        ASSERT_EQ(run.status, 0) << run.err;
        ASSERT_EQ(Run(pictures).status, 0);
        const nlohmann::json probe = Probe(name + ".mkv");
        EXPECT_EQ(probe.value("codec_name", ""), "ffv1");
        EXPECT_EQ(probe.value("pix_fmt", ""), c.stored);
        EXPECT_EQ(probe.value("nb_read_frames", ""), "4");
        EXPECT_EQ(probe.value("r_frame_rate", ""), "24/1");
        const nlohmann::json& tags = probe["tags"];
        EXPECT_EQ(tags.value("deepglass:bits", ""), std::to_string(c.bits));
        EXPECT_EQ(tags.value("deepglass:grey", ""), c.grey);
        EXPECT_EQ(tags.value("deepglass:depth", ""), "ViewLayer.Depth.Z");
        EXPECT_EQ(tags.value("deepglass:first-frame", ""), "1");
        EXPECT_EQ(tags.value("deepglass:last-frame", ""), "4");
        EXPECT_EQ(tags.value("deepglass:frames", ""), "1-4");
        EXPECT_THAT(run.out, HasSubstr("shot range: " + tags.value("deepglass:near", "?") + ":" +
                                       tags.value("deepglass:far", "?")));
        const std::vector<std::string> frames = FrameDigests(name + ".mkv", c.compared);
        EXPECT_EQ(frames.size(), 4u);
        EXPECT_EQ(frames, FrameDigests(name + ".%04d.png", c.compared));
    }
}

// An .mp4 is H.264 in 8-bit 4:2:0 that ffmpeg reads without a warning, full range, so that decoding
// it as a user would gives the levels back: above 45 dB PSNR against the 8-bit pictures at the
// default quality. It reads back into depth too.
TEST_F(Video, Mp4KeepsTheGreysOfTheEightBitPictures)
{
    CopyDolly();
    ASSERT_EQ(Run({"apply", "--frames", "1-4", "d.%04d.exr", "-o", "shot.mp4"}).status, 0);
    ASSERT_EQ(
        Run({"apply", "--frames", "1-4", "d.%04d.exr", "--range", "shot", "--bits", "8", "-o", "p.%04d.png"})
            .status,
        0);
    const nlohmann::json probe = Probe("shot.mp4");
    EXPECT_EQ(probe.value("codec_name", ""), "h264");
    EXPECT_EQ(probe.value("pix_fmt", ""), "yuvj420p"); // yuv420p, full range
    EXPECT_EQ(probe.value("color_range", ""), "pc");
    EXPECT_EQ(probe.value("nb_read_frames", ""), "4");
    EXPECT_EQ(probe["tags"].value("deepglass:grey", ""), "Y");
    EXPECT_EQ(probe["tags"].value("deepglass:bits", ""), "8");
    const Shell warnings = Sh("ffmpeg -v warning -i shot.mp4 -f null -");
    EXPECT_EQ(warnings.status, 0);
    EXPECT_EQ(warnings.out, "");
    ASSERT_EQ(Sh("ffmpeg -v error -i shot.mp4 -pix_fmt gray f.%04d.png").status, 0);
    const Shell psnr =
        Sh("ffmpeg -i f.%04d.png -i p.%04d.png -lavfi '[0:v]format=gray[a];[1:v]format=gray[b];"
           "[a][b]psnr' -f null - 2>&1 | grep -o 'min:[0-9.inf]*'");
    ASSERT_EQ(psnr.status, 0) << psnr.out;
    const std::string least = psnr.out.substr(4);
    EXPECT_TRUE(least.rfind("inf", 0) == 0 || std::stod(least) >= 45.0) << psnr.out;
    const ToolRun back = Run({"depth", "shot.mp4", "-o", "back/"});
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(FolderNames(Path("back")),
              (std::vector<std::string>{"shot.0001.exr", "shot.0002.exr", "shot.0003.exr", "shot.0004.exr"}));
}

// The rate from the first frame's framesPerSecond (or --fps), its timeCode, and the frames --frames
// names without the ones it leaves out, read back under the numbers they were recorded with.
TEST_F(Video, RateTimeCodeAndFrameNumbersComeFromTheShot)
{
    for (int frame = 2; frame <= 4; ++frame) {
        Imf::Header header(8, 6);
        header.channels().insert("Z", Imf::Channel(Imf::FLOAT));
        Imf::addFramesPerSecond(header, Imf::Rational(30000, 1001));
        Imf::addTimeCode(header, Imf::TimeCode(1, 2, 3, 4));
        std::vector<float> depth(48);
        for (std::size_t i = 0; i < depth.size(); ++i) depth[i] = 2.0f + static_cast<float>(i + frame);
        Imf::FrameBuffer buffer;
        buffer.insert("Z", Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(depth.data()), sizeof(float),
                                      8 * sizeof(float)));
        Imf::OutputFile file(Path("t.000" + std::to_string(frame) + ".exr").c_str(), header);
        file.setFrameBuffer(buffer);
        file.writePixels(6);
    }
    ASSERT_EQ(Run({"apply", "--frames", "2,4", "t.%04d.exr", "-o", "t.mkv"}).status, 0);
    nlohmann::json probe = Probe("t.mkv");
    EXPECT_EQ(probe.value("r_frame_rate", ""), "30000/1001");
    EXPECT_EQ(probe.value("nb_read_frames", ""), "2");
    EXPECT_EQ(probe["tags"].value("timecode", ""), "01:02:03:04");
    EXPECT_EQ(probe["tags"].value("deepglass:first-frame", ""), "2");
    EXPECT_EQ(probe["tags"].value("deepglass:last-frame", ""), "4");
    EXPECT_EQ(probe["tags"].value("deepglass:frames", ""), "2,4");
    ASSERT_EQ(Run({"apply", "--frames", "2-4", "t.%04d.exr", "--fps", "25", "-o", "t.mp4"}).status, 0);
    probe = Probe("t.mp4");
    EXPECT_EQ(probe.value("r_frame_rate", ""), "25/1");
    EXPECT_EQ(probe["tags"].value("timecode", ""), "01:02:03:04");
    const ToolRun back = Run({"depth", "t.mkv", "-o", "back/d.%04d.exr"});
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(FolderNames(Path("back")), (std::vector<std::string>{"d.0002.exr", "d.0004.exr"}));
    const ToolRun info = Run({"info", "t.mkv"});
    EXPECT_THAT(info.out, HasSubstr("FFV1 (lossless), gray16le, 8 x 6, 2 frames at 30000/1001 fps, time code "
                                    "01:02:03:04"));
    EXPECT_THAT(info.out, HasSubstr("deepglass:near = "));
}

// What a video cannot hold is refused before anything is read, and nothing is written.
TEST_F(Video, WhatAVideoCannotHoldIsRefusedWithNothingWritten)
{
    CopyDolly();
    ASSERT_EQ(Run({"apply", "--mode", "object", "--id", "3", "--save-config", "object.cfg"}).status, 0);
    struct Case {
        std::vector<std::string> options;
        int status;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{"--range", "frame", "-o", "v.mkv"}, 2, "a scale that changes from frame to frame flickers"},
        {{"--mode", "object", "--id", "3", "-o", "v.mp4"}, 2, "write .mkv"},
        {{"--config", "object.cfg", "-o", "v.mp4"}, 1, "write .mkv"},
        {{"--bits", "16", "-o", "v.mp4"}, 2, "8-bit"},
        {{"--view", "all", "-o", "v.mkv"}, 2, "--view all"},
        {{"--png", "grey", "-o", "v.mkv"}, 2, "--png is for PNG output"},
        {{"--fps", "0", "-o", "v.mkv"}, 2, "--fps 0"},
        {{"--fps", "24", "-o", "g.%04d.png"}, 2, "--fps is a video's rate"},
        {{"--video-quality", "8", "-o", "v.mkv"}, 2, "lossless"},
        {{"-o", "v.%04d.mkv"}, 2, "is a video"},
    };
    const std::vector<std::string> before = FolderNames(folder);
    for (const Case& c : cases) {
        std::vector<std::string> arguments = {"apply", "--frames", "1-4", "d.%04d.exr"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const ToolRun run = Run(arguments);
        EXPECT_EQ(run.status, c.status) << c.options[0];
        EXPECT_THAT(run.err, HasSubstr(c.error)) << c.options[0];
        EXPECT_EQ(FolderNames(folder), before) << c.options[0];
    }
}

// A frame that cannot be filtered fails the video: the frame is named, nothing is left (not even a
// temporary), the exit status is 1. --skip-existing skips a whole video that exists.
TEST_F(Video, AFailingFrameFailsTheVideoAndAnExistingOneIsSkippedWhole)
{
    CopyDolly();
    std::filesystem::resize_file(Path("d.0003.exr"), 3000);
    const std::vector<std::string> before = FolderNames(folder);
    const ToolRun failed = Run({"apply", "--frames", "1-4", "d.%04d.exr", "-o", "v.mkv"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_THAT(failed.err, HasSubstr("v.mkv not written, as frame 3 (d.0003.exr) failed"));
    EXPECT_EQ(FolderNames(folder), before);
    const ToolRun missing = Run({"apply", "--frames", "1-5", "d.%04d.exr", "-o", "v.mkv"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_THAT(missing.err, HasSubstr("frame 5 (d.0005.exr) is missing"));
    EXPECT_EQ(FolderNames(folder), before);

    ASSERT_EQ(Run({"apply", "--frames", "1,2", "d.%04d.exr", "-o", "v.mkv"}).status, 0);
    const ToolRun skipped = Run({"apply", "--frames", "1-4", "d.%04d.exr", "-o", "v.mkv", "--skip-existing"});
    EXPECT_EQ(skipped.status, 0) << skipped.err;
    EXPECT_THAT(skipped.out, HasSubstr("v.mkv: skipped, it exists"));
    EXPECT_THAT(skipped.out, HasSubstr("4 skipped"));
}

// A tool without its video library still makes pictures, and says where it looked for the library
// when asked for a video (here a copy of the tool, alone in the test's folder).
TEST_F(Video, WithoutTheVideoLibraryAVideoFailsNamingWhereItLooked)
{
    CopyDolly();
    RunLimits alone;
    alone.runUnder = {"sh", "-c", "cp \"$0\" deepglass && exec ./deepglass \"$@\""};
    const std::vector<std::string> module = {
        "--module", (std::filesystem::path(ToolPath()).parent_path() / "KELDA.FLT").string()};
    std::vector<std::string> picture = {"apply", "d.0001.exr", "-o", "d.png"},
                             video = {"apply", "d.0001.exr", "-o", "d.mkv"};
    picture.insert(picture.end(), module.begin(), module.end());
    video.insert(video.end(), module.begin(), module.end());
    EXPECT_EQ(Run(picture, alone).status, 0);
    const ToolRun failed = Run(video, alone);
    EXPECT_EQ(failed.status, 1);
    EXPECT_THAT(failed.err, HasSubstr("no deepglass-video.so, which writes and reads videos, in " +
                                      (folder / "deepglass-video.so").string()));
    EXPECT_FALSE(std::filesystem::exists(Path("d.mkv")));
}

// Damaged videos read back: cut short, without a video stream, without a mapping, of another codec,
// no video at all; each refused by name, nothing written.
TEST_F(Video, DamagedVideosAreRefusedByName)
{
    CopyDolly();
    ASSERT_EQ(Run({"apply", "--frames", "1-4", "d.%04d.exr", "-o", "whole.mkv"}).status, 0);
    std::filesystem::copy_file(Path("whole.mkv"), Path("cut.mkv"));
    std::filesystem::resize_file(Path("cut.mkv"), std::filesystem::file_size(Path("whole.mkv")) / 2);
    ASSERT_EQ(Sh("ffmpeg -v error -f lavfi -i anullsrc -t 0.1 -c:a pcm_s16le sound.mkv").status, 0);
    ASSERT_EQ(
        Sh("ffmpeg -v error -f lavfi -i testsrc=size=16x8 -frames:v 2 -pix_fmt gray16le -c:v ffv1 bare.mkv")
            .status,
        0);
    ASSERT_EQ(Sh("ffmpeg -v error -f lavfi -i testsrc=size=16x8 -frames:v 2 -c:v mpeg4 other.mkv").status, 0);
    std::ofstream(Path("text.mp4")) << "no video";
    struct Case {
        std::string name, error;
    };
    const std::vector<Case> cases = {
        {"cut.mkv", "the file is cut short"},     {"sound.mkv", "no video stream"},
        {"bare.mkv", "no depth mapping"},         {"other.mkv", "its video is mpeg4, not FFV1 or H.264"},
        {"text.mp4", "no video deepglass reads"},
    };
    for (const Case& c : cases) {
        const ToolRun run = Run({"depth", c.name, "-o", "back/"});
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_THAT(run.err, HasSubstr(c.name + ": "));
        EXPECT_THAT(run.err, HasSubstr(c.error));
        EXPECT_FALSE(std::filesystem::exists(Path("back")) && !FolderNames(Path("back")).empty()) << c.name;
    }
}

} // namespace
