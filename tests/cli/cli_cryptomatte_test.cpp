// ID modes on Cryptomatte frames: the picture from --matte equals the picture from an explicit ID
// channel holding the same selection, whatever the layer's channel names, manifest and ranks;
// the errors name what is wrong; info counts each name's rank-0 pixels.
#include <gmock/gmock.h>

#include <bit>
#include <fstream>
#include <set>

#include "exr_layouts.h"

using ::testing::HasSubstr;

namespace {

constexpr int WIDTH = 4;
constexpr int HEIGHT = 2;
constexpr int NONE = -1;

// Names with wildcard characters, quotes, a comma, a slash and non-Latin letters, with their
// stored IDs (MurmurHash3 of the UTF-8 name, exponent held within 1..254).
const std::vector<std::pair<std::string, std::uint32_t>> NAMES = {{"bunny", 0x13851a76},
                                                                  {"box*[1]", 0xe12162fd},
                                                                  {"\"lamp\", shade/a", 0x3d1cc3c5},
                                                                  {"Würfel 木", 0x20ee157f},
                                                                  {"lamp?", 0x5a847ca1}};
// Each pixel's rank-0 and rank-1 name; pixel 1 has bunny at rank 1 only, pixel 5 nothing.
const int RANK0[] = {0, 1, 2, 3, 4, NONE, 0, 1};
const int RANK1[] = {1, 0, 3, 2, 0, NONE, 4, 3};
const std::vector<double> DEPTH = {-10, -20, -30, -15, -12, -25, -18, -22};

double IdValue(int name) { return name == NONE ? 0.0 : std::bit_cast<float>(NAMES[name].second); }

std::string Manifest()
{
    std::string json = "{";
    for (std::size_t i = 0; i < NAMES.size(); ++i) {
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08x", NAMES[i].second);
        std::string name;
        for (char c : NAMES[i].first) name += c == '"' ? std::string("\\\"") : std::string(1, c);
        json += (i == 0 ? "\"" : ", \"") + name + "\": \"" + hex + "\"";
    }
    return json + "}";
}

// A frame with colour and depth and the Cryptomatte layer `layer` (ranks 0 to 3), its channels
// named NAME00.R or NAME00.red, with the header attributes cryptomatte/FIELD of `fields`.
TestPart CryptoPart(const std::string& layer, bool longNames,
                    std::vector<std::pair<std::string, std::string>> fields)
{
    TestPart part{"", "", MakeTestFrame(WIDTH, HEIGHT, DEPTH)};
    const std::vector<std::string> suffixes = longNames
                                                  ? std::vector<std::string>{"red", "green", "blue", "alpha"}
                                                  : std::vector<std::string>{"R", "G", "B", "A"};
    for (const std::string level : {"00", "01"})
        for (int c = 0; c < 4; ++c) {
            TestChannel& channel = part.frame.channels.emplace_back(
                TestChannel{layer + level + "." + suffixes[c], Imf::FLOAT, {}});
            for (int i = 0; i < WIDTH * HEIGHT; ++i) {
                const int name = c < 2 ? RANK0[i] : RANK1[i];
                const double value = c % 2 == 0 ? IdValue(name) : (name == NONE ? 0.0 : c == 1 ? 0.6 : 0.4);
                channel.values.push_back(level == "00" ? value : 0.0);
            }
        }
    for (auto& [field, value] : fields) part.attributes.push_back({"cryptomatte/" + field, value});
    return part;
}

std::vector<std::pair<std::string, std::string>> Fields(const std::string& key, const std::string& name,
                                                        const std::string& manifestField,
                                                        const std::string& manifest)
{
    std::vector<std::pair<std::string, std::string>> fields = {
        {key + "/name", name}, {key + "/hash", "MurmurHash3_32"}, {key + "/conversion", "uint32_to_float32"}};
    if (!manifestField.empty()) fields.push_back({key + "/" + manifestField, manifest});
    return fields;
}

// `into` with the Cryptomatte channels and attributes of `from` as well.
TestPart Merged(TestPart into, const TestPart& from)
{
    constexpr std::size_t COLOUR_AND_DEPTH = 5;
    into.frame.channels.insert(into.frame.channels.end(), from.frame.channels.begin() + COLOUR_AND_DEPTH,
                               from.frame.channels.end());
    into.attributes.insert(into.attributes.end(), from.attributes.begin(), from.attributes.end());
    return into;
}

class Cryptomatte : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        WriteTestParts(
            Path("embedded.exr"),
            {CryptoPart("CryptoObject", false, Fields("3ae39a5", "CryptoObject", "manifest", Manifest()))});
        // Two layers, long channel names, manifests beside the file.
        std::filesystem::create_directories(Path("shot/manifests"));
        WriteTestParts(Path("shot/sidecar.exr"),
                       {Merged(CryptoPart("ViewLayer.CryptoObject", true,
                                          Fields("542cafa", "ViewLayer.CryptoObject", "manif_file",
                                                 "manifests/objects.json")),
                               CryptoPart("ViewLayer.CryptoMaterial", true,
                                          Fields("c7dbf5e", "ViewLayer.CryptoMaterial", "manif_file",
                                                 "./manifests/objects.json")))});
        std::ofstream(Path("shot/manifests/objects.json")) << Manifest();
        WriteTestParts(Path("bare.exr"),
                       {CryptoPart("CryptoObject", false, Fields("3ae39a5", "CryptoObject", "", ""))});
    }

    // The picture of the same frame with an explicit ID channel: `id` where the rank-0 name is selected.
    Png Expected(const std::string& mode, int id, const std::set<int>& selected)
    {
        std::vector<double> ids;
        for (int name : RANK0) ids.push_back(selected.count(name) != 0 ? id : 0);
        const bool material = mode == "material";
        WriteTestExr(Path("explicit.exr"),
                     MakeTestFrame(WIDTH, HEIGHT, DEPTH, {}, material ? ids : std::vector<double>{},
                                   material ? std::vector<double>{} : ids));
        const ToolRun run =
            Run({"apply", "--mode", mode, "--id", std::to_string(id), "explicit.exr", "-o", "expected.png"});
        EXPECT_EQ(run.status, 0) << run.err;
        return ReadPng(Path("expected.png"));
    }
};

TEST_F(Cryptomatte, MatteGivesThePictureOfAnExplicitIdChannel)
{
    const struct {
        std::string input, mode;
        int id;
        std::vector<std::string> arguments;
        std::set<int> selected;
    } cases[] = {
        {"embedded.exr", "object", 7, {"--matte", "bunny"}, {0}},
        {"embedded.exr", "object", 7, {"--matte", "box\\*[1]"}, {1}},
        {"embedded.exr", "object", 7, {"--matte", "\"lamp\", shade/a"}, {2}},
        {"embedded.exr", "object", 7, {"--matte", "*木"}, {3}},
        {"embedded.exr", "object", 300, {"--matte", "lamp\\?"}, {4}},
        {"embedded.exr", "object", 7, {"--matte", "bunny", "--matte", "W?rfel*"}, {0, 3}},
        {"shot/sidecar.exr", "object", 7, {"--matte", "bunny"}, {0}},
        {"shot/sidecar.exr", "material", 3, {"--matte", "Würfel 木", "--matte", "box*"}, {1, 3}},
        {"shot/sidecar.exr",
         "object",
         7,
         {"--cryptomatte", "ViewLayer.CryptoMaterial", "--matte", "lamp?"},
         {4}},
        {"bare.exr", "object", 7, {"--matte", "Würfel 木"}, {3}},
    };
    for (const auto& c : cases) {
        const Png expected = Expected(c.mode, c.id, c.selected);
        std::vector<std::string> arguments = {"apply", "--mode", c.mode,     "--id", std::to_string(c.id),
                                              c.input, "-o",     "matte.png"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const ToolRun run = Run(arguments);
        ASSERT_EQ(run.status, 0) << c.arguments.back() << ": " << run.err;
        EXPECT_EQ(ReadPng(Path("matte.png")).samples, expected.samples)
            << c.input << " " << c.arguments.back();
        EXPECT_THAT(run.out + run.err, HasSubstr("ID Cryptomatte ")) << c.arguments.back();
    }
    // Without --id the pixels get ID 1, the ID the filter is then set to.
    const Png expected = Expected("object", 1, {0});
    ASSERT_EQ(
        Run({"apply", "--mode", "object", "--matte", "bunny", "embedded.exr", "-o", "matte.png"}).status, 0);
    EXPECT_EQ(ReadPng(Path("matte.png")).samples, expected.samples);
    const ToolRun run = Run({"apply", "--mode", "object", "--matte", "bunny", "bare.exr", "-o", "matte.png"});
    EXPECT_THAT(run.err, HasSubstr("has no manifest: bunny is matched by its hash"));
}

TEST_F(Cryptomatte, ErrorsNameWhatIsWrong)
{
    WriteTestParts(Path("md5.exr"),
                   {CryptoPart("CryptoObject", false, {{"k/name", "CryptoObject"}, {"k/hash", "MD5"}})});
    WriteTestParts(Path("cast.exr"),
                   {CryptoPart("CryptoObject", false,
                               {{"k/name", "CryptoObject"}, {"k/conversion", "uint32_to_half"}})});
    WriteTestParts(Path("broken.exr"), {CryptoPart("CryptoObject", false,
                                                   Fields("k", "CryptoObject", "manifest", "{\"bunny\": "))});
    WriteTestParts(Path("lost.exr"), {CryptoPart("CryptoObject", false,
                                                 Fields("k", "CryptoObject", "manif_file", "gone.json"))});
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    } cases[] = {
        {{"--mode", "object", "--matte", "buny", "embedded.exr"},
         1,
         "--matte buny matches no name of the Cryptomatte layer CryptoObject (closest: bunny, "},
        {{"--mode", "object", "--matte", "bun*", "bare.exr"},
         1,
         "has no manifest, so --matte bun* has no names to match; a whole name"},
        {{"--mode", "object", "--matte", "bunny", "md5.exr"},
         1,
         "hash MD5; only MurmurHash3_32 is supported"},
        {{"--mode", "object", "--matte", "bunny", "cast.exr"},
         1,
         "conversion uint32_to_half; only uint32_to_float32"},
        {{"--mode", "object", "--matte", "bunny", "broken.exr"}, 1, "malformed manifest"},
        {{"--mode", "object", "--matte", "bunny", "lost.exr"}, 1, "cannot read the manifest gone.json"},
        {{"--mode", "object", "--matte", "bunny", "--cryptomatte", "CryptoAsset", "embedded.exr"},
         1,
         "no Cryptomatte layer CryptoAsset (the frame has CryptoObject)"},
        {{"--mode", "material", "--matte", "bunny", "embedded.exr"},
         1,
         "no Cryptomatte layers named with \"material\" (the frame has CryptoObject)"},
        {{"--mode", "object", "--matte", "bunny", "explicit.exr"}, 1, "the frame has no Cryptomatte layer"},
        {{"--matte", "bunny", "embedded.exr"}, 2, "--matte selects pixels in --mode object or material"},
        {{"--mode", "object", "--matte", "bunny\\", "embedded.exr"}, 2, "ends in a lone backslash"},
        {{"--mode", "object", "--cryptomatte", "CryptoObject", "embedded.exr"}, 2, "give --matte too"},
    };
    WriteTestExr(Path("explicit.exr"), MakeTestFrame(WIDTH, HEIGHT, DEPTH));
    for (const auto& c : cases) {
        std::vector<std::string> arguments = {"apply", "-o", "out.png"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const ToolRun run = Run(arguments);
        EXPECT_EQ(run.status, c.status) << c.message;
        EXPECT_THAT(run.err, HasSubstr(c.message));
    }
    // Several layers fit the mode: the user picks one.
    WriteTestParts(
        Path("two.exr"),
        {Merged(CryptoPart("CryptoObject", false, Fields("a", "CryptoObject", "manifest", Manifest())),
                CryptoPart("CryptoObjectHair", false, Fields("b", "CryptoObjectHair", "manifest", "{}")))});
    ToolRun run = Run({"apply", "--mode", "object", "--matte", "bunny", "two.exr", "-o", "out.png"});
    EXPECT_THAT(run.err,
                HasSubstr("several Cryptomatte layers named with \"object\" (the frame has CryptoObject, "
                          "CryptoObjectHair); pick one with --cryptomatte NAME"));
    run = Run({"apply", "--mode", "object", "--matte", "bunny", "--cryptomatte", "CryptoObject", "two.exr",
               "-o", "out.png"});
    EXPECT_EQ(run.status, 0) << run.err;
}

TEST_F(Cryptomatte, SampleFrameSelectsByNameAsByItsIds)
{
    ASSERT_EQ(Run({"sample", "--cryptomatte", "--width", "64", "--height", "36", "crypto.exr"}).status, 0);
    const struct {
        std::string mode, pattern, id;
    } cases[] = {{"object", "box", "3"}, {"material", "glass", "2"}, {"material", "w*", "3"}};
    for (const auto& c : cases) {
        ASSERT_EQ(Run({"apply", "--mode", c.mode, "--id", c.id, "crypto.exr", "-o", "ids.png"}).status, 0);
        const ToolRun run = Run(
            {"apply", "--mode", c.mode, "--id", c.id, "--matte", c.pattern, "crypto.exr", "-o", "names.png"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(ReadPng(Path("names.png")).samples, ReadPng(Path("ids.png")).samples) << c.pattern;
    }
    // An EXR output is read whole, by another road.
    ASSERT_EQ(Run({"apply", "--mode", "object", "--id", "3", "crypto.exr", "-o", "ids.exr"}).status, 0);
    ASSERT_EQ(
        Run({"apply", "--mode", "object", "--matte", "box", "--id", "3", "crypto.exr", "-o", "names.exr"})
            .status,
        0);
    const RawPart names = ReadRawParts(Path("names.exr")).at(0);
    const RawPart ids = ReadRawParts(Path("ids.exr")).at(0);
    for (const char* channel : {"R", "G", "B", "A"})
        EXPECT_EQ(names.channels.at(channel).samples, ids.channels.at(channel).samples) << channel;
}

TEST_F(Cryptomatte, InfoCountsEachNamesRankZeroPixels)
{
    ToolRun run = Run({"info", "embedded.exr"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("cryptomatte:   CryptoObject (CryptoObject00.R, 5 names)\n"
                                   "            2 px  box*[1]\n            2 px  bunny\n"));
    EXPECT_THAT(run.out, HasSubstr("            1 px  Würfel 木\n"));
    EXPECT_THAT(run.out, HasSubstr("            1 px  no ID\n"));
    run = Run({"info", "bare.exr"});
    EXPECT_THAT(run.out,
                HasSubstr("CryptoObject (CryptoObject00.R, no manifest)\n            2 px  id 13851a76\n"));
}

} // namespace
