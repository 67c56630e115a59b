// PNG pictures as the tool writes them, read back with libpng and zlib: the pixels given, for every
// kind, depth and row filter, over pictures of one, two and many deflate segments; the same bytes
// whatever the threads; the one zlib stream the segments are joined into; colour and text chunks;
// and errors.
#include <gmock/gmock.h>
#include <libdeflate.h>
#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "expect_error.h"
#include "output/icc_profile.h"
#include "png/deflate_join.h"
#include "png/png_writer.h"

using namespace deepglass;

namespace fs = std::filesystem;

namespace {

class PngWriter : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }
    std::string Path(const std::string& name) const { return (folder / name).string(); }

    fs::path folder = fs::temp_directory_path() / ("deepglass-png-" + std::to_string(getpid()));
};

std::string Bytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// A pixel of the test pictures: grey ones equal in every channel, RGBA ones with four different
// channels; smooth runs and steps, as depth maps have.
BMM_Color_64 Pixel(PngKind kind, int x, int y)
{
    const auto level = static_cast<std::uint16_t>(x * 37 + y * 101 + (x * y % 13) * 1000);
    if (kind == PngKind::GREY) return {level, level, level, level};
    return {level, static_cast<std::uint16_t>(level ^ 0x5555), static_cast<std::uint16_t>(x * y),
            static_cast<std::uint16_t>(65535 - level)};
}

// The rows of such a picture, made in the caller's buffer.
PngRow RowsOf(PngKind kind, int width)
{
    return [kind, width](int y, std::vector<BMM_Color_64>& buffer) {
        buffer.resize(static_cast<std::size_t>(width));
        for (int x = 0; x < width; ++x) buffer[static_cast<std::size_t>(x)] = Pixel(kind, x, y);
        return buffer.data();
    };
}

// A row's samples as PNG stores them, big-endian.
std::vector<std::uint8_t> StoredRow(PngKind kind, int bits, int width, int y)
{
    std::vector<std::uint8_t> bytes;
    for (int x = 0; x < width; ++x) {
        const BMM_Color_64 pixel = Pixel(kind, x, y);
        const std::uint16_t levels[4] = {pixel.r, pixel.g, pixel.b, pixel.a};
        for (int c = 0; c < (kind == PngKind::GREY ? 1 : 4); ++c) {
            if (bits == 16) bytes.push_back(static_cast<std::uint8_t>(levels[c] >> 8));
            bytes.push_back(bits == 16 ? static_cast<std::uint8_t>(levels[c]) : EightBitLevel(levels[c]));
        }
    }
    return bytes;
}

struct Decoded {
    int width = 0, height = 0, bits = 0, colourType = -1;
    std::vector<std::uint8_t> samples; // row after row, big-endian as stored
    bool srgb = false;
    std::vector<std::uint8_t> profile;
    std::vector<std::pair<std::string, std::string>> texts; // keyword, text as libpng gives them
    std::vector<int> textKinds; // PNG_TEXT_COMPRESSION_NONE or PNG_ITXT_COMPRESSION_NONE
};

Decoded ReadPng(const std::string& path)
{
    Decoded decoded;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return decoded;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        decoded.width = static_cast<int>(png_get_image_width(png, info));
        decoded.height = static_cast<int>(png_get_image_height(png, info));
        decoded.bits = png_get_bit_depth(png, info);
        decoded.colourType = png_get_color_type(png, info);
        decoded.srgb = png_get_valid(png, info, PNG_INFO_sRGB) != 0;
        png_charp name = nullptr;
        png_bytep profile = nullptr;
        png_uint_32 length = 0;
        int compression = 0;
        if (png_get_iCCP(png, info, &name, &compression, &profile, &length) != 0)
            decoded.profile.assign(profile, profile + length);
        png_textp texts = nullptr;
        const int count = png_get_text(png, info, &texts, nullptr);
        for (int i = 0; i < count; ++i) {
            decoded.texts.emplace_back(
                texts[i].key, std::string(texts[i].text, texts[i].compression == PNG_TEXT_COMPRESSION_NONE
                                                             ? texts[i].text_length
                                                             : texts[i].itxt_length));
            decoded.textKinds.push_back(texts[i].compression);
        }
        std::vector<std::uint8_t> row(png_get_rowbytes(png, info));
        for (int y = 0; y < decoded.height; ++y) {
            png_read_row(png, row.data(), nullptr);
            decoded.samples.insert(decoded.samples.end(), row.begin(), row.end());
        }
        png_read_end(png, nullptr);
    } else {
        decoded.colourType = -1;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return decoded;
}

// The data of every IDAT chunk of a PNG file, one after the other: its zlib stream.
std::string ZlibStream(const std::string& png)
{
    std::string stream;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t length = static_cast<std::size_t>(static_cast<unsigned char>(png[at])) << 24 |
                                   static_cast<std::size_t>(static_cast<unsigned char>(png[at + 1])) << 16 |
                                   static_cast<std::size_t>(static_cast<unsigned char>(png[at + 2])) << 8 |
                                   static_cast<unsigned char>(png[at + 3]);
        if (png.compare(at + 4, 4, "IDAT") == 0) stream += png.substr(at + 8, length);
        at += 12 + length;
    }
    return stream;
}

TEST_F(PngWriter, PixelsAsGivenOverOneTwoAndManySegmentsTheSameBytesOnAnyThreads)
{
    struct Case {
        PngKind kind;
        int bits;
        int filters;
        int width;
        int segments; // 0: one row; else whole segments, the last of them part full
    };
    const int WIDE = 4099;
    std::vector<Case> cases;
    for (const PngKind kind : {PngKind::GREY, PngKind::RGBA})
        for (const int bits : {16, 8}) {
            cases.push_back({kind, bits, PNG_ROW_UP, 1, 0}); // one pixel
            cases.push_back({kind, bits, PNG_ROW_UP, WIDE, 0});
            for (const int segments : {1, 2, 3}) cases.push_back({kind, bits, PNG_ROW_UP, WIDE, segments});
        }
    // Every filter, each row taking the one that looks best, and none at all.
    cases.push_back({PngKind::GREY, 16, 0, WIDE, 2});
    cases.push_back({PngKind::RGBA, 8, 0, 333, 2});
    cases.push_back({PngKind::RGBA, 16, PNG_ROW_NONE, WIDE, 2});
    for (const Case& test : cases) {
        PngFormat format = WithCompression({}, PngCompression::DEFAULT);
        format.kind = test.kind;
        format.bits = test.bits;
        format.filters = test.filters;
        const int rows = PngSegmentRows(test.width, format);
        // Two and more segments: the last one a third full.
        const int height = test.segments == 0 ? 1 : (test.segments - 1) * rows + std::max(1, rows / 3);
        SCOPED_TRACE(std::to_string(test.width) + " x " + std::to_string(height) + ", " +
                     std::to_string(test.bits) + " bits, filters " + std::to_string(test.filters) +
                     (test.kind == PngKind::GREY ? ", grey" : ", RGBA"));
        std::vector<std::uint8_t> samples, filtered;
        for (int y = 0; y < height; ++y) {
            const std::vector<std::uint8_t> row = StoredRow(test.kind, test.bits, test.width, y);
            samples.insert(samples.end(), row.begin(), row.end());
            if (test.filters == 0) continue;
            const std::vector<std::uint8_t> above = y > 0 ? StoredRow(test.kind, test.bits, test.width, y - 1)
                                                          : std::vector<std::uint8_t>(row.size());
            filtered.push_back(test.filters == PNG_ROW_UP ? 2 : 0);
            for (std::size_t i = 0; i < row.size(); ++i)
                filtered.push_back(
                    static_cast<std::uint8_t>(row[i] - (test.filters == PNG_ROW_UP ? above[i] : 0)));
        }
        const std::string path = Path("picture.png");
        WritePng(path, test.width, height, RowsOf(test.kind, test.width), format, 1);
        const std::string written = Bytes(path);
        const Decoded decoded = ReadPng(path);
        ASSERT_EQ(decoded.colourType, test.kind == PngKind::GREY ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGBA);
        EXPECT_EQ(decoded.width, test.width);
        EXPECT_EQ(decoded.height, height);
        EXPECT_EQ(decoded.bits, test.bits);
        EXPECT_TRUE(decoded.samples == samples);
        // One zlib stream, whose Adler-32 zlib checks, of exactly the filtered rows.
        if (test.filters != 0) {
            const std::string stream = ZlibStream(written);
            std::vector<std::uint8_t> inflated(filtered.size() + 1);
            uLongf size = inflated.size();
            EXPECT_EQ(uncompress(inflated.data(), &size, reinterpret_cast<const Bytef*>(stream.data()),
                                 stream.size()),
                      Z_OK);
            inflated.resize(size);
            EXPECT_TRUE(inflated == filtered);
        }
        for (const int threads : {2, 3}) {
            WritePng(path, test.width, height, RowsOf(test.kind, test.width), format, threads);
            EXPECT_TRUE(Bytes(path) == written) << threads << " threads";
        }
    }
}

// Streams of every kind of block, from libdeflate's levels and from zlib (whose blocks libdeflate
// does not make: fixed codes, a stored block amid others), walked and joined.
TEST(DeflateJoin, StreamsOfEveryBlockKindJoinedInflateToTheirBytesOneAfterTheOther)
{
    std::vector<std::uint8_t> text;
    for (int i = 0; i < 300000; ++i)
        text.push_back(static_cast<std::uint8_t>(i % 251 < 200 ? i / 97 : i * 7919));
    struct Piece {
        int level; // libdeflate's; -1: zlib's level 6 with a full flush amid, -2: zlib's fixed codes
        std::size_t size;
    };
    const Piece pieces[] = {{0, 0},      {0, 70000},  {1, 1},     {6, 100},   {12, 5000},
                            {6, 300000}, {-1, 20000}, {-2, 3000}, {1, 300000}};
    std::vector<std::uint8_t> joined = {0x78, 0x9C}, expected;
    for (std::size_t p = 0; p < std::size(pieces); ++p) {
        const Piece& piece = pieces[p];
        SCOPED_TRACE("piece " + std::to_string(p));
        const std::uint8_t* in = text.data() + p * 7;
        const std::size_t size = std::min(piece.size, text.size() - p * 7);
        std::vector<std::uint8_t> stream(size + size / 2 + 1000);
        std::size_t length = 0;
        if (piece.level >= 0) {
            libdeflate_compressor* compressor = libdeflate_alloc_compressor(piece.level);
            length = libdeflate_deflate_compress(compressor, in, size, stream.data(), stream.size());
            libdeflate_free_compressor(compressor);
        } else {
            z_stream z{};
            deflateInit2(&z, 6, Z_DEFLATED, -15, 8, piece.level == -2 ? Z_FIXED : Z_DEFAULT_STRATEGY);
            z.next_in = const_cast<Bytef*>(in);
            z.avail_in = static_cast<uInt>(size / 2);
            z.next_out = stream.data();
            z.avail_out = static_cast<uInt>(stream.size());
            deflate(&z, Z_FULL_FLUSH);
            z.avail_in = static_cast<uInt>(size - size / 2);
            deflate(&z, Z_FINISH);
            length = z.total_out;
            deflateEnd(&z);
        }
        ASSERT_GT(length, 0u);
        stream.resize(length);
        const std::optional<DeflateEnd> end = FindDeflateEnd(stream.data(), stream.size());
        ASSERT_TRUE(end);
        EXPECT_EQ((end->endBit + 7) / 8, stream.size());
        // Cut short, or with a byte more, the stream is no longer one the walker takes.
        EXPECT_FALSE(FindDeflateEnd(stream.data(), stream.size() - 1));
        stream.push_back(0);
        EXPECT_FALSE(FindDeflateEnd(stream.data(), stream.size()));
        stream.pop_back();
        if (p + 1 < std::size(pieces)) MakeNonFinal(stream, *end);
        joined.insert(joined.end(), stream.begin(), stream.end());
        expected.insert(expected.end(), in, in + size);
    }
    const uLong adler = adler32(1, expected.data(), static_cast<uInt>(expected.size()));
    for (int shift = 24; shift >= 0; shift -= 8) joined.push_back(static_cast<std::uint8_t>(adler >> shift));
    std::vector<std::uint8_t> inflated(expected.size() + 1);
    uLongf size = inflated.size();
    ASSERT_EQ(uncompress(inflated.data(), &size, joined.data(), joined.size()), Z_OK);
    inflated.resize(size);
    EXPECT_TRUE(inflated == expected);
    // No stream at all, and bytes that are none.
    const std::uint8_t junk[] = {0x07, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(FindDeflateEnd(junk, 0));
    EXPECT_FALSE(FindDeflateEnd(junk, sizeof junk));
}

TEST_F(PngWriter, ColourAndTextChunksReadBackThroughLibpng)
{
    const std::string xmp = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>";
    const std::vector<unsigned char> profile = IccDisplayProfile({0.0f, 0.25f, 1.0f}, "a display");
    struct Case {
        bool srgb;
        std::vector<unsigned char> profile;
    };
    for (const Case& test : {Case{true, {}}, Case{false, profile}}) {
        PngFormat format = WithCompression({}, PngCompression::SMALL);
        format.srgb = test.srgb;
        format.iccProfile = test.profile;
        format.text = {{"Software", "deepglass"},
                       {"Comment", "Tiefe, \xC3\xA9"
                                   "cran\nnext line"},        // Latin-1 é: tEXt
                       {"Title", "\xE6\xB7\xB1\xE5\xBA\xA6"}, // beyond Latin-1: iTXt
                       {"XML:com.adobe.xmp", xmp}};
        const std::string path = Path("text.png");
        WritePng(path, 3, 2, RowsOf(PngKind::RGBA, 3), format, 2);
        const Decoded decoded = ReadPng(path);
        ASSERT_EQ(decoded.colourType, PNG_COLOR_TYPE_RGBA);
        EXPECT_EQ(decoded.srgb, test.srgb);
        EXPECT_EQ(decoded.profile, test.profile);
        // libpng hands tEXt back in Latin-1 and iTXt in UTF-8.
        EXPECT_THAT(decoded.texts,
                    ::testing::ElementsAre(std::pair<std::string, std::string>{"Software", "deepglass"},
                                           std::pair<std::string, std::string>{"Comment", "Tiefe, \xE9"
                                                                                          "cran\nnext line"},
                                           std::pair<std::string, std::string>{"Title", format.text[2].value},
                                           std::pair<std::string, std::string>{"XML:com.adobe.xmp", xmp}));
        EXPECT_THAT(decoded.textKinds,
                    ::testing::ElementsAre(PNG_TEXT_COMPRESSION_NONE, PNG_TEXT_COMPRESSION_NONE,
                                           PNG_ITXT_COMPRESSION_NONE, PNG_ITXT_COMPRESSION_NONE));
    }
}

TEST_F(PngWriter, BadTextAndWriteErrorsNameTheFileAndWriteNothing)
{
    const struct {
        PngText text;
        std::string error;
    } cases[] = {
        {{"", "x"}, "the PNG text keyword \"\" is not 1 to 79"},
        {{std::string(80, 'k'), "x"}, "is not 1 to 79"},
        {{" Title", "x"}, "is not 1 to 79"},
        {{"Title ", "x"}, "is not 1 to 79"},
        {{"Ti  tle", "x"}, "is not 1 to 79"},
        {{"Ti\ttle", "x"}, "is not 1 to 79"},
        {{"\xE6\xB7\xB1", "x"}, "is not 1 to 79"},
        {{"Title", "\xFF"}, "the PNG text \"Title\" is not UTF-8"},
        {{"Title", std::string("a\0b", 3)}, "is not UTF-8 without NUL"},
    };
    for (const auto& test : cases) {
        PngFormat format;
        format.text = {test.text};
        const std::string path = Path("bad.png");
        const std::string prefix = test.error.rfind("the PNG", 0) == 0 ? "cannot write " + path + ": " : "";
        ExpectError([&] { WritePng(path, 1, 1, RowsOf(PngKind::GREY, 1), format); }, prefix + test.error);
        EXPECT_FALSE(fs::exists(path));
    }
    // The longest keyword is taken.
    PngFormat longest;
    longest.text = {{std::string(79, 'k'), "x"}};
    EXPECT_NO_THROW(WritePng(Path("longest.png"), 1, 1, RowsOf(PngKind::GREY, 1), longest));
    // A folder that is not there, and a full disk (its refusal found as the file is closed).
    ExpectError([&] { WritePng(Path("none/a.png"), 1, 1, RowsOf(PngKind::GREY, 1)); },
                "cannot write " + Path("none/a.png") + ": No such file or directory");
    if (fs::exists("/dev/full")) {
        ExpectError([&] { WritePng("/dev/full", 1, 1, RowsOf(PngKind::GREY, 1)); },
                    "cannot write /dev/full: No space left on device");
        ExpectError([&] { WritePng("/dev/full", 1000, 300, RowsOf(PngKind::RGBA, 1000), {}, 2); },
                    "cannot write /dev/full: No space left on device");
    }
}

} // namespace
