// Frames whose channels are stored at other than one sample a pixel: colour subsampled as lawful
// EXR allows. Each is checked against the same frame stored at full resolution.
#include <gmock/gmock.h>

#include "exr_layouts.h"

using ::testing::HasSubstr;

namespace {

constexpr int SIDE = 4;

// A SIDE x SIDE frame: depth rising across it, object IDs 1 and 2 in alternate rows, and colour
// whose R, G and B have `sampling` x `sampling` blocks of one value each.
TestPart Frame(int sampling)
{
    std::vector<double> depth, objects, alpha(SIDE * SIDE, 1.0);
    for (int i = 0; i < SIDE * SIDE; ++i) {
        depth.push_back(1 + i);
        objects.push_back(1 + (i / SIDE) % 2);
    }
    TestPart part;
    part.frame.width = part.frame.height = SIDE;
    const char* names[] = {"B", "G", "R"};
    for (int c = 0; c < 3; ++c) {
        TestChannel& channel =
            part.frame.channels.emplace_back(TestChannel{names[c], Imf::HALF, {}, sampling});
        for (int y = 0; y < SIDE; y += sampling)
            for (int x = 0; x < SIDE; x += sampling)
                channel.values.push_back(0.125 * (c + 1) + 0.01 * (x + y));
    }
    part.frame.channels.push_back({"A", Imf::HALF, alpha});
    part.frame.channels.push_back({"Z", Imf::FLOAT, depth});
    part.frame.channels.push_back({"objectID", Imf::UINT, objects});
    return part;
}

class Sampling : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        WriteTestParts(Path("full.exr"), {Frame(1)});
        WriteTestParts(Path("sub.exr"), {Frame(2)});
    }
};

} // namespace

// The subsampled channel's sample at (x, y) holds what the full-resolution frame's output holds at
// that pixel, in every mode: the filtered grey where the filter rewrote it, the stored colour where
// it kept it.
TEST_F(Sampling, ExrOutputStoresSubsampledColourAtItsOwnSampling)
{
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{}, std::vector<std::string>{"--mode", "object", "--id", "2"}}) {
        std::vector<std::string> arguments = {"apply"};
        arguments.insert(arguments.end(), mode.begin(), mode.end());
        for (const char* input : {"full", "sub"}) {
            std::vector<std::string> run = arguments;
            run.insert(run.end(), {std::string(input) + ".exr", "-o", std::string(input) + "-out.exr"});
            const ToolRun done = Run(run);
            ASSERT_EQ(done.status, 0) << done.err;
            if (input == std::string("sub")) {
                EXPECT_THAT(done.err, HasSubstr("channel R is stored at 2 x 2 sampling"));
            }
        }
        const RawPart full = ReadRawParts(Path("full-out.exr")).at(0);
        const RawPart sub = ReadRawParts(Path("sub-out.exr")).at(0);
        for (const char* name : {"R", "G", "B"}) {
            const std::vector<std::uint32_t>& samples = sub.channels.at(name).samples;
            ASSERT_EQ(samples.size(), 4u) << name;
            for (int y = 0; y < SIDE; y += 2)
                for (int x = 0; x < SIDE; x += 2)
                    EXPECT_EQ(samples[y / 2 * 2 + x / 2], full.channels.at(name).samples[y * SIDE + x])
                        << name << " at " << x << "," << y << " " << mode.size();
        }
        EXPECT_EQ(sub.channels.at("A").samples, full.channels.at("A").samples);
    }
}
