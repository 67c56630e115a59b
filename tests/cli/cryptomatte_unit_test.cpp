// The pieces Cryptomatte selection is made of, in process: the name hash against published
// values, its conversion to stored float bits, name patterns and manifests.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "cryptomatte/manifest.h"
#include "cryptomatte/name_hash.h"
#include "cryptomatte/name_pattern.h"
#include "expect_error.h"

using namespace deepglass;

namespace {

TEST(CryptomatteHash, PublishedValues)
{
    // MurmurHash3_x86_32 test vectors as published with the reference implementation's ports.
    const struct {
        std::string data;
        std::uint32_t seed, hash;
    } vectors[] = {
        {"", 0, 0},
        {"", 1, 0x514E28B7},
        {"", 0xFFFFFFFF, 0x81F16F39},
        {"\xff\xff\xff\xff", 0, 0x76293B50},
        {"\x21\x43\x65\x87", 0, 0xF55B516B},
        {"\x21\x43\x65\x87", 0x5082EDEE, 0x2362F9DE},
        {"\x21\x43\x65", 0, 0x7E4A8634},
        {"\x21\x43", 0, 0xA0F7B07A},
        {"\x21", 0, 0x72661CF4},
        {std::string(4, '\0'), 0, 0x2362F9DE},
        {std::string(3, '\0'), 0, 0x85F0B427},
        {std::string(2, '\0'), 0, 0x30F4C306},
        {std::string(1, '\0'), 0, 0x514E28B7},
        {"Hello, world!", 1234, 0xFAF6CDB3},
        {"Hello, world!", 4321, 0xBF505788},
    };
    for (const auto& v : vectors) EXPECT_EQ(MurmurHash3_32(v.data, v.seed), v.hash) << v.data;

    // Name -> stored ID pairs from the example manifests the Cryptomatte format publishes.
    const std::pair<const char*, const char*> names[] = {
        {"bunny", "13851a76"}, {"default", "42c9679f"}, {"bunny_porcelain_mat", "b24b26d4"}};
    for (const auto& [name, hex] : names) EXPECT_EQ(IdHex(IdBitsOfName(name)), hex) << name;
}

TEST(CryptomatteHash, ConversionHoldsTheExponentWithin1To254)
{
    const struct {
        std::uint32_t hash, bits;
    } cases[] = {
        {0x00000000, 0x00800000}, {0x007FFFFF, 0x00FFFFFF}, {0x80000001, 0x80800001}, // exponent 0 -> 1
        {0x7F800000, 0x7F000000}, {0xFFFFFFFF, 0xFF7FFFFF}, {0x7FC00001, 0x7F400001}, // exponent 255 -> 254
        {0x00800000, 0x00800000}, {0x7F7FFFFF, 0x7F7FFFFF}, {0xB24B26D4, 0xB24B26D4}, // already within
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IdBitsOfHash(c.hash), c.bits) << std::hex << c.hash;
        EXPECT_TRUE(std::isnormal(std::bit_cast<float>(IdBitsOfHash(c.hash))));
    }
    EXPECT_EQ(ParseIdHex("B24b26D4"), 0xB24B26D4u);
    for (const char* bad : {"", "13851a7", "13851a760", "13851a7g", "0x13851a", " 13851a7"})
        EXPECT_EQ(ParseIdHex(bad), std::nullopt) << bad;
}

TEST(CryptomatteNames, PatternsMatchWholeNamesByCodePoint)
{
    const struct {
        const char* pattern;
        const char* name;
        bool matches;
    } cases[] = {{"bunny", "bunny", true},
                 {"bunny", "bunny2", false},
                 {"bun", "bunny", false},
                 {"bun*", "bunny", true},
                 {"*ny", "bunny", true},
                 {"*", "", true},
                 {"b*n*y", "bunny", true},
                 {"?unny", "bunny", true},
                 {"?", "é", true},
                 {"??", "é", false},
                 {"Stra?e", "Straße", true},
                 {"木*", "木の箱", true},
                 {"*箱", "木の箱", true},
                 {"a\\*b", "a*b", true},
                 {"a\\*b", "axb", false},
                 {"a\\?", "a?", true},
                 {"a\\\\b", "a\\b", true},
                 {"[box]", "[box]", true},
                 {"\"q\",/x", "\"q\",/x", true},
                 {"*/*", "set/box", true},
                 {"a*b*c", "aXbYbZc", true}};
    for (const auto& c : cases)
        EXPECT_EQ(NamePattern(c.pattern).Matches(c.name), c.matches) << c.pattern << " " << c.name;

    EXPECT_FALSE(NamePattern("a\\*b").HasWildcards());
    EXPECT_EQ(NamePattern("a\\*b").Literal(), "a*b");
    EXPECT_TRUE(NamePattern("a?b").HasWildcards());
    EXPECT_EQ(PatternFaultOf("box\\"), PatternFault::LONE_BACKSLASH);
    EXPECT_EQ(PatternFaultOf("box\\\\"), PatternFault::NONE);
    EXPECT_EQ(PatternFaultOf(""), PatternFault::EMPTY);

    const std::vector<std::string> names = {"bunny", "box", "sphere", "bunny_ears", "floor"};
    EXPECT_EQ(ClosestNames(NamePattern("buny"), names, 2), (std::vector<std::string>{"bunny", "box"}));
    EXPECT_EQ(ClosestNames(NamePattern("spere*"), names, 1), (std::vector<std::string>{"sphere"}));
    EXPECT_EQ(ClosestNames(NamePattern("bunny"), names, 2),
              (std::vector<std::string>{"bunny", "bunny_ears"}));
}

TEST(CryptomatteManifest, ParsesNamesAndRefusesMalformedOnes)
{
    const Manifest manifest = ParseManifest(
        R"({"default":"42c9679f", "bunny":"13851A76", "a \"q\"":"00800000", "木":"7f7fffff"})", "m");
    ASSERT_EQ(manifest.entries.size(), 4u);
    EXPECT_EQ(manifest.Names(), (std::vector<std::string>{"a \"q\"", "bunny", "default", "木"}));
    EXPECT_EQ(manifest.entries[1].id, 0x13851A76u);
    EXPECT_TRUE(ParseManifest("{}", "m").entries.empty());

    const struct {
        const char* text;
        const char* message;
    } bad[] = {
        {R"({"bunny":"13851a76")", "m: malformed manifest (" /* nlohmann's own words follow */},
        {"", "m: malformed manifest ("},
        {R"(["bunny"])", "a JSON array where an object of names and IDs belongs"},
        {R"({"bunny":12345678})", "the ID of \"bunny\" is 12345678; IDs are strings of 8 hex digits"},
        {R"({"bunny":"1385"})", "the ID of \"bunny\" is \"1385\""},
        {"{\"\xff\":\"13851a76\"}", "m: malformed manifest ("},
    };
    for (const auto& b : bad) ExpectError([&] { ParseManifest(b.text, "m"); }, b.message);
    EXPECT_THROW(ReadManifestFile("/nonexistent/manifest.json"), ToolError);
    EXPECT_THROW(ReadManifestFile("/dev/zero"), ToolError);
    EXPECT_THROW(ReadManifestFile("/tmp"), ToolError);
}

} // namespace
