// A depth picture's mapping: its texts read back as the same mapping (through PNG text and EXR
// header attributes alike), damaged texts refused by key, and levels made back into depths by both
// curves, within one level's step of the depth they were made from.
#include <ImfHeader.h>
#include <gmock/gmock.h>
#include <png.h>

#include <cmath>
#include <fstream>
#include <limits>

#include "commands/depth_command.h"
#include "deepglass_interface.h"
#include "depth/depth_mapping.h"
#include "expect_error.h"
#include "output/header_text.h"
#include "png/png_reader.h"
#include "png/png_writer.h"

using namespace deepglass;

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

using Texts = std::vector<std::pair<std::string, std::string>>;

DepthMapping Sample(float near, float far)
{
    DepthMapping mapping;
    mapping.scale = DepthScale{near, far};
    mapping.curve = DepthCurve::INVERSE;
    mapping.bits = 8;
    mapping.grey = "grey";
    mapping.depth = "L.Depth.Z";
    mapping.view = "left";
    mapping.background = "depth:0";
    mapping.pixels = "object ID 3";
    mapping.frame = 17;
    mapping.tool = "1.0";
    mapping.module = "Deepglass (library version 110)";
    return mapping;
}

Texts PngTexts(const DepthMapping& mapping)
{
    Texts texts;
    for (const PngText& text : MappingPngText(mapping)) texts.emplace_back(text.keyword, text.value);
    return texts;
}

Texts ExrTexts(const DepthMapping& mapping)
{
    const std::shared_ptr<const Imf::Header> header =
        WithHeaderTexts(nullptr, MAPPING_PREFIX, MappingTexts(mapping));
    return HeaderTextsOf(*header, MAPPING_PREFIX);
}

void ExpectSame(const DepthMapping& read, const DepthMapping& written)
{
    ASSERT_TRUE(read.scale.has_value());
    EXPECT_EQ(*read.scale, *written.scale);
    EXPECT_EQ(read.curve, written.curve);
    EXPECT_EQ(read.bits, written.bits);
    EXPECT_EQ(read.frame, written.frame);
    for (const auto& [got, wanted] : {std::pair{read.grey, written.grey},
                                      {read.depth, written.depth},
                                      {read.view, written.view},
                                      {read.background, written.background},
                                      {read.pixels, written.pixels},
                                      {read.tool, written.tool},
                                      {read.module, written.module}})
        EXPECT_EQ(got, wanted);
}

TEST(DepthMappingText, ReadsBackAsTheSameMappingThroughPngTextAndExrAttributes)
{
    const float tiny = std::numeric_limits<float>::denorm_min();
    for (const auto& [near, far] : {std::pair{0.1f, 0.3f},
                                    {1e-7f, std::nextafter(1e-7f, 1.0f)},
                                    {0.0f, 9.99e19f},
                                    {tiny, 2.4324484f},
                                    {5.0f, 5.0f}}) {
        const DepthMapping written = Sample(near, far);
        ExpectSame(ParseMapping(PngTexts(written)), written);
        ExpectSame(ParseMapping(ExrTexts(written)), written);
    }
    DepthMapping empty = Sample(1, 2);
    empty.scale.reset();
    empty.frame.reset();
    const DepthMapping read = ParseMapping(ExrTexts(empty));
    EXPECT_FALSE(read.scale.has_value());
    EXPECT_FALSE(read.frame.has_value());
}

TEST(DepthMappingText, AnEarlierWritersAttributesUnderThePrefixAreReplaced)
{
    Imf::Header input;
    const auto stale = WithHeaderTexts(&input, MAPPING_PREFIX, MappingTexts(Sample(1, 2)));
    DepthMapping now = Sample(3, 4);
    now.frame.reset();
    now.view.clear();
    const auto written = WithHeaderTexts(stale.get(), MAPPING_PREFIX, MappingTexts(now));
    const DepthMapping read = ParseMapping(HeaderTextsOf(*written, MAPPING_PREFIX));
    EXPECT_EQ(read.scale, (DepthScale{3, 4}));
    EXPECT_FALSE(read.frame.has_value());
    EXPECT_EQ(read.view, "");
}

TEST(DepthMappingText, DamagedOrMissingValuesAreRefusedByKey)
{
    struct Case {
        std::string key, value, error; // value "": the key left out
    };
    const std::vector<Case> cases = {
        {"deepglass:near", "", "no deepglass:near"},
        {"deepglass:far", "1e21", "deepglass:far is \"1e21\""},
        {"deepglass:far", "nan", "deepglass:far is \"nan\""},
        {"deepglass:near", "-1", "deepglass:near is \"-1\""},
        {"deepglass:near", "none", "deepglass:far is"},
        {"deepglass:far", "0.5", "at or beyond deepglass:near"},
        {"deepglass:curve", "log", "deepglass:curve is \"log\", not linear or inverse"},
        {"deepglass:bits", "12", "deepglass:bits is \"12\""},
        {"deepglass:bits", "16x", "deepglass:bits is \"16x\""},
        {"deepglass:level-zero", "far", "deepglass:level-zero"},
        {"deepglass:frame", "seven", "deepglass:frame is \"seven\""},
        {"deepglass:module", "", "no deepglass:module"},
    };
    for (const Case& c : cases) {
        Texts texts;
        for (auto& [key, value] : PngTexts(Sample(1, 2)))
            if (key != c.key) texts.emplace_back(key, value);
        if (!c.value.empty()) texts.emplace_back(c.key, c.value);
        ExpectError([&] { ParseMapping(texts); }, c.error);
    }
    EXPECT_FALSE(HasMapping({{"Software", "x"}}));
}

TEST(DepthOfLevel, BothCurvesFromFarAtLevelZeroToNearAtTheTop)
{
    const DepthScale scale{2, 10};
    struct Case {
        DepthCurve curve;
        std::uint32_t level;
        int bits;
        double depth;
    };
    const std::vector<Case> cases = {
        {DepthCurve::LINEAR, 0, 16, 10},  {DepthCurve::LINEAR, 65535, 16, 2},
        {DepthCurve::LINEAR, 255, 8, 2},  {DepthCurve::LINEAR, 51, 8, 10 - 0.2 * 8},
        {DepthCurve::INVERSE, 0, 16, 10}, {DepthCurve::INVERSE, 65535, 16, 2},
        {DepthCurve::INVERSE, 255, 8, 2}, {DepthCurve::INVERSE, 51, 8, 1 / (0.1 + 0.2 * (0.5 - 0.1))},
    };
    for (const Case& c : cases) EXPECT_NEAR(DepthOfLevel(scale, c.curve, c.level, c.bits), c.depth, 1e-12);
    EXPECT_EQ(DepthOfLevel({0, 0}, DepthCurve::INVERSE, 7, 16), 0.0);
}

// A depth turned into a level by truncation, as the filter does, comes back within one step: of
// depth for the linear curve, of 1/depth for the inverse one.
TEST(DepthOfLevel, EveryDepthComesBackWithinOneStep)
{
    const DepthScale scale{0.5f, 80.0f};
    for (const int bits : {8, 16}) {
        const double top = (1 << bits) - 1;
        for (double depth = 0.5; depth <= 80.0; depth *= 1.01) {
            const double linear = std::floor((80.0 - depth) / 79.5 * top);
            EXPECT_LE(
                std::fabs(DepthOfLevel(scale, DepthCurve::LINEAR, static_cast<std::uint32_t>(linear), bits) -
                          depth),
                79.5 / top * (1 + 1e-9));
            const double inverse = std::floor((1 / depth - 1 / 80.0) / (2 - 1 / 80.0) * top);
            const double back =
                DepthOfLevel(scale, DepthCurve::INVERSE, static_cast<std::uint32_t>(inverse), bits);
            EXPECT_LE(std::fabs(1 / back - 1 / depth), (2 - 1 / 80.0) / top * (1 + 1e-9)) << depth;
        }
    }
}

TEST(DepthOfPicture, KeptColourIsNothingRenderedAndLevelZeroFollowsTheChoice)
{
    PngPicture picture;
    picture.width = 4;
    picture.height = 1;
    picture.channels = 4;
    picture.bits = 8;
    // Grey with its alpha, grey made opaque, kept colour, level 0.
    picture.stored = {51, 51, 51, 51, 255, 255, 255, 255, 10, 20, 30, 255, 0, 0, 0, 0};
    DepthMapping mapping;
    mapping.scale = DepthScale{2, 10};
    auto depths = [&](bool levelZeroEmpty) {
        const FrameChannel z = DepthOfPicture(picture, mapping, levelZeroEmpty);
        std::vector<float> depth;
        for (std::size_t i = 0; i < z.samples.size(); ++i) depth.push_back(z.FloatAt(i));
        return depth;
    };
    EXPECT_THAT(depths(false), ElementsAre(::testing::FloatEq(8.4f), 2.0f, HOST_BACKGROUND_DEPTH, 10.0f));
    EXPECT_EQ(depths(true)[3], HOST_BACKGROUND_DEPTH);
    mapping.scale.reset();
    EXPECT_EQ(depths(false)[0], HOST_BACKGROUND_DEPTH);
}

// Text chunks of every kind come back from the picture as written: tEXt for ASCII, iTXt for UTF-8
// and for XMP.
TEST(PngText, ChunksOfEveryKindReadBackAsWritten)
{
    const std::string path = ::testing::TempDir() + "text.png";
    PngFormat format;
    format.kind = PngKind::GREY;
    format.text = {
        {"deepglass:near", "2.5"}, {"deepglass:view", "gauche\u2019"}, {"XML:com.adobe.xmp", "<x/>"}};
    const BMM_Color_64 pixel{7, 7, 7, 7};
    WritePng(
        path, 1, 1, [&](int, std::vector<BMM_Color_64>&) { return &pixel; }, format);
    const PngPicture picture = PngReader(path).ReadAll();
    EXPECT_EQ(picture.At(0, 0), 7);
    EXPECT_THAT(picture.text,
                ElementsAre(std::pair<std::string, std::string>{"deepglass:near", "2.5"},
                            std::pair<std::string, std::string>{"deepglass:view", "gauche\u2019"},
                            std::pair<std::string, std::string>{"XML:com.adobe.xmp", "<x/>"}));
    std::remove(path.c_str());
}

// Text read back in UTF-8 whatever the chunk: tEXt and zTXt are Latin-1, iTXt UTF-8, compressed
// or not; a picture whose text would take more than the reader holds is refused.
TEST(PngText, LatinOneAndCompressedTextReadBackAsUtf8)
{
    const std::string path = ::testing::TempDir() + "texts.png";
    auto write = [&](const std::vector<std::tuple<int, std::string, std::string>>& texts) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_init_io(png, file);
        png_set_IHDR(png, info, 1, 1, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        std::vector<png_text> chunks;
        for (const auto& [compression, key, value] : texts) {
            png_text chunk{};
            chunk.compression = compression;
            chunk.key = const_cast<char*>(key.c_str());
            chunk.text = const_cast<char*>(value.c_str());
            (compression > 0 ? chunk.itxt_length : chunk.text_length) = value.size();
            chunks.push_back(chunk);
        }
        png_set_text(png, info, chunks.data(), static_cast<int>(chunks.size()));
        png_write_info(png, info);
        const png_byte row[1] = {9};
        png_write_row(png, row);
        png_write_end(png, nullptr);
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
    };
    write({{PNG_TEXT_COMPRESSION_NONE, "deepglass:depth", "Tief\xE9"},
           {PNG_TEXT_COMPRESSION_zTXt, "zipped", "caf\xE9"},
           {PNG_ITXT_COMPRESSION_zTXt, "deepglass:view", "gauche\xE2\x80\x99"}});
    const PngPicture picture = PngReader(path).ReadAll();
    EXPECT_EQ(picture.At(0, 0), 9);
    EXPECT_THAT(picture.text,
                ElementsAre(std::pair<std::string, std::string>{"deepglass:depth", "Tief\xC3\xA9"},
                            std::pair<std::string, std::string>{"zipped", "caf\xC3\xA9"},
                            std::pair<std::string, std::string>{"deepglass:view", "gauche\xE2\x80\x99"}));
    EXPECT_EQ(PngReader(path).ReadText().text, picture.text);
    // A text chunk whose bytes no longer match its CRC.
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(file), {}};
        file.seekp(static_cast<std::streamoff>(bytes.find("Tief")));
        file.put('t');
    }
    ExpectError([&] { PngReader(path).ReadAll(); }, "CRC error");
    // Two megabytes of text in a few kilobytes of file.
    write({{PNG_TEXT_COMPRESSION_zTXt, "bulky", std::string(std::size_t{2} << 20, 'x')}});
    ExpectError([&] { PngReader(path).ReadText(); }, "its text chunks hold more than the 1.0 MB");
    std::remove(path.c_str());
}

} // namespace
