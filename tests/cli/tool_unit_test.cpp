// The tool's own logic in process: the command line, output names, the picture a PNG holds, the
// background hint and names of any bytes as text, each over a table of cases.
#include <gmock/gmock.h>

#include <cmath>
#include <functional>
#include <random>

#include "base/number_text.h"
#include "base/utf8_text.h"
#include "cli/command_line.h"
#include "expect_error.h"
#include "frame/channel_discovery.h"
#include "frame/frame_stats.h"
#include "module/filter_record.h"
#include "output/output_writer.h"

using namespace deepglass;

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

struct ParseCase {
    std::vector<std::string> arguments;
    CommandKind kind;
    std::function<void(const Command&)> expect;
};

TEST(CommandLine, AcceptedCommandsCarryTheirOptions)
{
    const ParseCase cases[] = {
        {{}, CommandKind::HELP, [](const Command& c) { EXPECT_EQ(c.helpTopic, ""); }},
        {{"help", "info"}, CommandKind::HELP, [](const Command& c) { EXPECT_EQ(c.helpTopic, "info"); }},
        {{"apply", "a.exr", "--opaque", "--help", "--frobnicate"},
         CommandKind::HELP,
         [](const Command& c) { EXPECT_EQ(c.helpTopic, "apply"); }},
        {{"apply", "--mode=object", "--id", "300", "a.exr", "-o", "grey.png", "--opaque"},
         CommandKind::APPLY,
         [](const Command& c) {
             EXPECT_EQ(c.apply.filter.mode, MODE_OBJECT_ID);
             EXPECT_EQ(c.apply.filter.id, 300);
             EXPECT_EQ(c.apply.output.format, OutputFormat::PNG);
             EXPECT_FALSE(c.apply.output.isFolder);
             EXPECT_TRUE(c.apply.opaque);
         }},
        {{"apply", "-j2", "a.exr", "-ogrey.png"},
         CommandKind::APPLY,
         [](const Command& c) {
             EXPECT_EQ(c.apply.jobs, 2);
             EXPECT_EQ(c.apply.output.path, "grey.png");
         }},
        {{"apply", "--jobs=3", "a.exr"},
         CommandKind::APPLY,
         [](const Command& c) { EXPECT_EQ(c.apply.jobs, 3); }},
        {{"apply", "a.exr", "-o", "GREY.EXR"},
         CommandKind::APPLY,
         [](const Command& c) { EXPECT_EQ(c.apply.output.format, OutputFormat::EXR); }},
        {{"apply", "a.exr", "b.exr", "-o", "grey", "--format", "exr"},
         CommandKind::APPLY,
         [](const Command& c) {
             EXPECT_TRUE(c.apply.output.isFolder);
             EXPECT_EQ(c.apply.output.format, OutputFormat::EXR);
         }},
        {{"apply", "--background", "depth:-inf", "--depth", "P", "--", "-x.exr"},
         CommandKind::APPLY,
         [](const Command& c) {
             EXPECT_THAT(c.apply.inputs, ElementsAre("-x.exr"));
             EXPECT_EQ(c.apply.background.depth, -INFINITY);
             EXPECT_EQ(c.apply.names.depth, "P");
         }},
        {{"apply", "--range", "2.5:1e19", "--range-over", "selection", "--mode", "object", "a.exr"},
         CommandKind::APPLY,
         [](const Command& c) {
             EXPECT_EQ(c.apply.range.kind, RangeChoice::Kind::FIXED);
             EXPECT_EQ(c.apply.range.scale, (DepthScale{2.5f, 1e19f}));
             EXPECT_TRUE(c.apply.range.overSelection);
             EXPECT_EQ(c.apply.background.kind, BackgroundRule::Kind::AUTO);
         }},
        {{"apply", "--mode", "material", "--save-config", "m.cfg"},
         CommandKind::APPLY,
         [](const Command& c) { EXPECT_EQ(c.apply.filter.saveConfigPath, "m.cfg"); }},
        {{"info", "--background", "alpha", "--object=O", "--max-memory", "2M", "a.exr", "b.exr"},
         CommandKind::INFO,
         [](const Command& c) {
             EXPECT_EQ(c.info.background.kind, BackgroundRule::Kind::ALPHA);
             EXPECT_EQ(c.info.names.object, "O");
             EXPECT_EQ(c.info.maxMemory, 2u << 20);
             EXPECT_EQ(c.info.inputs.size(), 2u);
         }},
        {{"sample", "--width=64", "s.exr"},
         CommandKind::SAMPLE,
         [](const Command& c) {
             EXPECT_EQ(c.sample.width, 64);
             EXPECT_EQ(c.sample.height, 360);
         }},
        {{"demo"}, CommandKind::DEMO, [](const Command& c) { EXPECT_EQ(c.demo.folder, "out"); }},
        {{"--version", "--module", "m.flt"},
         CommandKind::VERSION,
         [](const Command& c) { EXPECT_EQ(c.modulePath, "m.flt"); }},
    };
    for (const ParseCase& test : cases) {
        SCOPED_TRACE(::testing::PrintToString(test.arguments));
        const Command command = ParseCommandLine(test.arguments);
        EXPECT_EQ(command.kind, test.kind);
        test.expect(command);
    }
}

TEST(CommandLine, MistakesAreUsageErrorsThatSayWhatIsWrong)
{
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"apply", "--mode", "depth", "a.exr"}, "unknown mode depth: use --mode whole, material or object"},
        {{"apply", "--mode", "material", "--id", "9", "a.exr"},
         "--id 9 is out of range: material-effects IDs run from 1 to 8"},
        {{"apply", "--mode", "material", "--id", "0", "a.exr"}, "--id 0 is out of range"},
        {{"apply", "--mode", "object", "--id", "65536", "a.exr"},
         "--id 65536 is out of range: object IDs run from 1 to 65535"},
        {{"apply", "--id", "3", "a.exr"}, "the whole mode takes no ID"},
        {{"apply", "--id", "x", "--mode", "object", "a.exr"}, "--id x: not a whole number"},
        {{"apply", "--id", "99999999999", "a.exr"}, "--id 99999999999: not a whole number"},
        {{"apply", "--frobnicate", "a.exr"},
         "unknown option --frobnicate for apply (see deepglass apply --help)"},
        {{"apply", "a.exr", "-o"}, "option -o needs a value"},
        {{"apply", "-q2", "a.exr"}, "unknown option -q2 for apply"},
        {{"apply", "--opaque=yes", "a.exr"}, "option --opaque takes no value"},
        {{"apply", "a.exr", "-o", "out.tif"}, "must end in .png or .exr"},
        {{"apply", "a.exr", "b.exr", "-o", "out.png"}, "looks like a file name"},
        {{"apply", "a.exr", "--format", "png", "-o", "out.exr"}, "--format does not match the output name"},
        {{"apply", "a.exr", "--format", "tif"}, "unknown format tif: use --format png or exr"},
        {{"apply", "a.exr", "--opaque", "-o", "out.exr"}, "--opaque is for PNG output"},
        {{"apply"}, "apply needs at least one INPUT.exr"},
        {{"apply", "--config", "c.cfg", "--id", "2", "a.exr"}, "without --mode and --id"},
        {{"apply", "--background", "depth:far", "a.exr"}, "far is not a depth"},
        {{"apply", "--background", "depth:nan", "a.exr"}, "nan is not a depth"},
        {{"apply", "--background", "black", "a.exr"}, "use auto, none, alpha or depth:V"},
        {{"apply", "--mode", "material", "--id", "2", "--png", "grey", "a.exr"},
         "--png grey writes one grey channel, but --mode material keeps the colour"},
        {{"apply", "--png", "grey", "a.exr", "-o", "a.exr.exr"}, "--png and --bits are for PNG output"},
        {{"apply", "--bits", "8", "--format", "exr", "a.exr"}, "--png and --bits are for PNG output"},
        {{"apply", "--bits", "12", "a.exr"}, "--bits 12: a PNG's samples have 8 or 16 bits"},
        {{"apply", "--png", "cmyk", "a.exr"}, "--png cmyk: use grey or rgba"},
        {{"apply", "--range", "9:2", "a.exr"}, "--range 9:2: NEAR must be nearer than FAR"},
        {{"apply", "--range", "-1:5", "a.exr"}, "--range -1:5: -1 is negative"},
        {{"apply", "--range", "nan:5", "a.exr"}, "--range nan:5: nan is not a depth magnitude"},
        {{"apply", "--range", "1:far", "a.exr"}, "far is not a depth magnitude"},
        {{"apply", "--range", "1:1e20", "a.exr"}, "FAR must lie below 1e20"},
        {{"apply", "--range", "wide", "a.exr"}, "--range wide: use frame, shot or NEAR:FAR"},
        {{"apply", "--range-over", "selection", "a.exr"}, "the whole mode selects every pixel"},
        {{"apply", "--clip", "50:50", "a.exr"}, "--clip 50:50: LOW must lie below HIGH"},
        {{"apply", "--clip", "60:40", "a.exr"}, "--clip 60:40: LOW must lie below HIGH"},
        {{"apply", "--clip", "-1:50", "a.exr"}, "--clip -1:50: -1 lies outside 0 to 100"},
        {{"info", "--clip", "0:101", "a.exr"}, "--clip 0:101: 101 lies outside 0 to 100"},
        {{"apply", "--clip", "nan:5", "a.exr"}, "--clip nan:5: nan is not a percentile"},
        {{"apply", "--clip", "x:y", "a.exr"}, "--clip x:y: x is not a percentile"},
        {{"apply", "--clip", "5", "a.exr"}, "--clip 5: use LOW:HIGH"},
        {{"apply", "--clip", "1:99", "--range", "2:9", "a.exr"}, "--range 2:9 gives them outright"},
        {{"apply", "--curve", "inverse", "--range", "0:10", "a.exr"},
         "--range 0:10: --curve inverse maps 1/depth, which has no grey at NEAR 0"},
        {{"info", "--curve", "inverse", "--range", "0:10", "a.exr"}, "--range 0:10: --curve inverse"},
        {{"apply", "--curve", "foo", "a.exr"}, "--curve foo: use linear or inverse"},
        {{"apply", "--range-over", "object", "a.exr"}, "--range-over object: use frame or selection"},
        {{"apply", "--max-memory", "12Q", "a.exr"}, "--max-memory 12Q: give a size such as 800M or 4G"},
        {{"apply", "--frames", "5-1", "a.exr"}, "--frames 5-1: the range 5-1 runs backwards"},
        {{"apply", "shot.%04d.exr"}, "is a frame pattern: say which frames with --frames"},
        {{"apply", "--frames", "1", "a.exr", "-o", "g.%04d.tif"},
         "the output pattern g.%04d.tif must end in"},
        {{"apply", "--cryptomatte", "C", "a.exr"}, "--cryptomatte picks the layer --matte selects from"},
        {{"apply", "--matte", "box", "a.exr"}, "--matte selects pixels in --mode object or material"},
        {{"apply", "--mode", "object", "--matte", "", "a.exr"}, "--matte needs a name or pattern"},
        {{"apply", "--mode", "object", "--matte", "box\\", "a.exr"}, "ends in a lone backslash"},
        {{"info"}, "info needs at least one INPUT.exr"},
        {{"sample", "s.png"}, "give a name ending in .exr"},
        {{"sample", "--height", "0", "s.exr"}, "sides run from 1 to 65535 pixels"},
        {{"demo", "a", "b"}, "demo takes at most one FOLDER"},
        {{"--version", "x"}, "--version takes no operands"},
        {{"help", "help"}, "no help on help; commands are apply, info, depth, sample and demo"},
        {{"paint"},
         "unknown command paint; commands are apply, info, depth, sample and demo (see deepglass --help)"},
        // A name too long for the system to look up is no folder, and no crash either.
        {{"apply", "-o", std::string(5000, 'g'), "a.exr"}, "must end in .png or .exr (or name a folder"},
    };
    for (const auto& [arguments, message] : cases) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        ExpectError<UsageError>([&] { ParseCommandLine(arguments); }, message);
    }
}

TEST(OutputPaths, BesideTheInputIntoAFolderOrTheNamedFile)
{
    struct Case {
        std::vector<std::string> inputs;
        const char* path;
        bool isFolder;
        OutputFormat format;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{"shot/f.1.exr"}, "", false, OutputFormat::PNG, {"shot/f.1.png"}},
        {{"shot/f.1.exr"}, "", false, OutputFormat::EXR, {"shot/f.1.exr"}},
        {{"a/f.exr", "b/g.EXR"}, "grey", true, OutputFormat::PNG, {"grey/f.png", "grey/g.png"}},
        {{"f.exr"}, "grey/", true, OutputFormat::EXR, {"grey/f.exr"}},
        {{"f.exr"}, "out.png", false, OutputFormat::PNG, {"out.png"}},
    };
    for (const Case& test : cases) {
        const OutputTarget target{test.path, test.isFolder, test.format};
        EXPECT_THAT(OutputPaths(test.inputs, target), ElementsAreArray(test.expected)) << test.path;
    }
}

ExrFrame WindowFrame(PixelBox data, PixelBox display)
{
    ExrFrame frame;
    frame.dataWindow = data;
    frame.displayWindow = display;
    return frame;
}

TEST(DisplayRows, PlaceTheDataWindowAtItsOffsetAndCropWhatLiesOutside)
{
    struct Case {
        PixelBox data;
        PixelBox display;
        bool opaque;
        std::vector<std::uint16_t> red;   // the picture, row-major
        std::vector<std::uint16_t> alpha; // likewise
        bool cropped;
    };
    const Case cases[] = {
        // 2 x 1 data at (1, 1) inside a 3 x 2 display window.
        {{1, 1, 2, 1}, {0, 0, 2, 1}, false, {0, 0, 0, 0, 1, 2}, {0, 0, 0, 0, 7, 7}, false},
        {{1, 1, 2, 1},
         {0, 0, 2, 1},
         true,
         {0, 0, 0, 0, 1, 2},
         {65535, 65535, 65535, 65535, 65535, 65535},
         false},
        // 3 x 1 data at (-1, 0) over a 2 x 1 display window: its first pixel is left out.
        {{-1, 0, 1, 0}, {0, 0, 1, 0}, false, {2, 3}, {7, 7}, true},
        // No overlap at all.
        {{5, 5, 5, 5}, {0, 0, 1, 0}, false, {0, 0}, {0, 0}, true},
        // Rows of the data window's width, handed over as they are, around a row outside it.
        {{0, 0, 1, 1}, {0, -1, 1, 1}, false, {0, 0, 1, 2, 3, 4}, {0, 0, 7, 7, 7, 7}, false},
    };
    for (const Case& test : cases) {
        const ExrFrame frame = WindowFrame(test.data, test.display);
        // The data window's pixels have red 1, 2, ... in row-major order and alpha 7.
        std::vector<BMM_Color_64> colour(frame.PixelCount());
        for (std::size_t i = 0; i < colour.size(); ++i)
            colour[i] = {static_cast<std::uint16_t>(i + 1), 0, 0, 7};
        DisplayRows rows(frame, colour.data(), test.opaque);
        EXPECT_EQ(rows.Width(), test.display.Width());
        EXPECT_EQ(rows.Height(), test.display.Height());
        std::vector<std::uint16_t> red, alpha;
        std::vector<BMM_Color_64> buffer;
        for (int y = 0; y < rows.Height(); ++y) {
            const BMM_Color_64* row = rows.Row(y, buffer);
            for (int x = 0; x < rows.Width(); ++x) {
                red.push_back(row[x].r);
                alpha.push_back(row[x].a);
            }
        }
        EXPECT_EQ(red, test.red);
        EXPECT_EQ(alpha, test.alpha);
        EXPECT_EQ(rows.Cropped(), test.cropped);
    }
    const ExrFrame huge = WindowFrame({0, 0, 0, 0}, {0, 0, 65535, 0});
    const BMM_Color_64 pixel{};
    EXPECT_THROW(DisplayRows(huge, &pixel, false), ToolError);
}

TEST(BackgroundHint, NamesTheOptionWhenMuchOfTheFrameIsTransparentAtOneEnd)
{
    struct Case {
        std::vector<float> depth;
        std::vector<std::uint16_t> alpha;
        const char* hint; // a part of it, or "" for none
    };
    const Case cases[] = {
        {{0, 0, 8, 16},
         {0, 0, 65535, 65535},
         "50.0% of the frame lies at the nearest depth (0) with alpha 0"},
        {{-0.0f, 8, 16}, {0, 65535, 65535}, "Try --background alpha (or --background depth:0)"},
        {{1e10f, -8, -16}, {0, 65535, 65535}, "at the farthest depth (1e+10) with alpha 0"},
        {{-1e30f, 8, 16}, {0, 65535, 65535}, ""}, // the host's own background
        {{0, 8, 16}, {65535, 65535, 65535}, ""},  // opaque: a real surface
        {{5, 5, 5}, {0, 0, 0}, ""},               // a single depth: no range to spoil
        // One pixel in eleven is below the share that hints.
        {{0, 8, 8, 8, 8, 8, 8, 8, 8, 8, 16}, {0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, ""},
    };
    for (const Case& test : cases) {
        std::vector<BMM_Color_64> colour;
        for (std::uint16_t a : test.alpha) colour.push_back({0, 0, 0, a});
        const std::string hint = BackgroundHint(DepthStatsOf(test.depth, colour));
        if (*test.hint == '\0')
            EXPECT_THAT(hint, IsEmpty());
        else
            EXPECT_THAT(hint, HasSubstr(test.hint));
    }
}

// The cases the end-to-end layouts do not reach: two depth names in the plain layer, a depth
// named outright, the names looked for where a channel is missing.
TEST(ChannelDiscovery, DepthDecidesTheLayerAndTheOtherRolesFollowIt)
{
    struct Case {
        std::vector<std::string> names;
        ChannelNames asked;
        bool error;
        const char* taken; // ChannelChoice::Text(), or a part of the error
    };
    const Case cases[] = {
        {{"R", "G", "B", "Z", "objectID"},
         {},
         false,
         "colour R, G, B; depth Z; material-effects ID none (no materialID); object ID objectID"},
        {{"Z", "depth.Z"}, {}, true, "several depth channels: Z, depth.Z"},
        {{"R", "Z", "L.Combined.R", "L.Depth.Z", "L.IndexOB.X"},
         {"L.Depth.Z", "", "", std::nullopt},
         false,
         "colour L.Combined.R; depth L.Depth.Z; material-effects ID none (no L.IndexMA.X); object ID "
         "L.IndexOB.X"},
        {{"R", "Z", "L.Depth.Z"}, {"", "", "", ""}, false, "colour R; depth Z;"},
        {{"P", "mat"}, {"", "mat", "", std::nullopt}, false, "depth none (no Z); material-effects ID mat;"},
        {{"R", "Z"}, {"", "", "", "L"}, true, "no layer L (the view has \"\" (plain channels))"},
    };
    for (const Case& test : cases) {
        std::vector<ViewChannel> channels;
        for (const std::string& name : test.names) channels.push_back({name, "", 0, name, SampleType::FLOAT});
        if (test.error)
            ExpectError([&] { ChooseChannels(channels, test.asked); }, test.taken);
        else
            EXPECT_THAT(ChooseChannels(channels, test.asked).Text(), HasSubstr(test.taken));
    }
}

TEST(ExponentText, WritesTheExponentWithoutPlusSignOrLeadingZeros)
{
    const std::pair<float, const char*> cases[] = {
        {1e20f, "1e20"},   {-1e30f, "-1e30"}, {2.5e-7f, "2.5e-7"},
        {1e-30f, "1e-30"}, {3.0f, "3e0"},     {1e5f, "1e5"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(ExponentText(value), text) << text;
}

TEST(FilterRecord, ShortRecordReadsItsMissingBytesAsZeroAndTakesTheWordsOfItsMode)
{
    const FilterSettings settings = SettingsOf({0xD7, 0x01, 0x76, 0x5E, 0xF4, 0x03});
    EXPECT_EQ(settings.tag, 0x5E7601D7u);
    EXPECT_EQ(settings.mode, 0x3F4);
    // Mode word at 4, object ID at 8, material-effects ID at 12; a longer record keeps its tail.
    const std::vector<unsigned char> record(18, 0xAA);
    std::vector<unsigned char> expected = record;
    for (int i = 4; i < 12; ++i) expected[i] = 0;
    expected[4] = 0xF4, expected[5] = 0x03, expected[8] = 0x2C, expected[9] = 0x01; // 1012, 300
    EXPECT_EQ(RecordWith(record, MODE_OBJECT_ID, 300), expected);
    EXPECT_EQ(RecordWith({}, MODE_WHOLE_IMAGE, std::nullopt).size(), CONFIG_RECORD_SIZE);
}

// Names of any bytes as text: UTF-8 stays as it is, every other byte and every backslash is
// escaped, and the escapes read back give every name again (so no two names give the same text).
TEST(NameText, EscapesWhatIsNotUtf8AndReadsBackAsTheName)
{
    const std::pair<std::string, std::string> cases[] = {
        {"depth.Z", "depth.Z"},
        {"Tief\xC3\xA9", "Tief\xC3\xA9"},             // UTF-8
        {"Tief\xE9", "Tief\\xE9"},                    // Latin-1
        {"a\\b", "a\\\\b"},                           // a backslash
        {"\xC3", "\\xC3"},                            // a character cut short
        {"\xC0\x80", "\\xC0\\x80"},                   // an overlong NUL
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},          // a surrogate
        {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"}, // beyond U+10FFFF
        {"\xE2\x80\x99\xFF", "\xE2\x80\x99\\xFF"},
    };
    for (const auto& [name, text] : cases) {
        EXPECT_EQ(NameText(name), text) << name;
        EXPECT_TRUE(Utf8Characters(NameText(name))) << name;
    }
    // The escapes read back, as a reader of a picture's text would.
    auto name = [](const std::string& text) {
        std::string bytes;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '\\') {
                bytes += text[i];
            } else if (text[i + 1] == '\\') {
                bytes += '\\', ++i;
            } else {
                bytes += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16)), i += 3;
            }
        }
        return bytes;
    };
    std::mt19937 random(11);
    for (int n = 0; n < 2000; ++n) {
        std::string bytes(random() % 12, '\0');
        for (char& byte : bytes) byte = static_cast<char>(1 + random() % 255);
        EXPECT_EQ(name(NameText(bytes)), bytes);
    }
    EXPECT_EQ(Latin1AsUtf8("Tief\xE9 \xFF"), "Tief\xC3\xA9 \xC3\xBF");
}

} // namespace
