// The dialog templates and the logo as the built module carries them, read back field by field.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "deepglass_interface.h"
#include "dialog_module.h"
#include "resource_ids.h"

namespace {

constexpr WORD LANGUAGE_US_ENGLISH = 1033;
constexpr WORD NO_ID = 0xFFFF;

struct ControlEntry {
    WORD id;
    std::string className;
    std::string text; // "#n" for an integer resource reference
    short x, y, width, height;
    DWORD style;
    bool operator==(const ControlEntry&) const = default;
};

struct DialogEntry {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, width = 0, height = 0;
    std::string menu, className, title, font;
    WORD pointSize = 0;
    std::vector<ControlEntry> controls;
};

void PrintTo(const ControlEntry& c, std::ostream* out)
{
    *out << "{id " << c.id << ", " << c.className << ", \"" << c.text << "\", " << c.x << "," << c.y << " "
         << c.width << "x" << c.height << ", style 0x" << std::hex << c.style << std::dec << "}";
}

// Reads the parts of a classic (not extended) dialog template in order.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, std::size_t size) : data(data), size(size) {}

    template <typename T>
    T Read()
    {
        T value{};
        if (offset + sizeof(T) > size) {
            overrun = true;
            return value;
        }
        std::memcpy(&value, data + offset, sizeof(T));
        offset += sizeof(T);
        return value;
    }

    // A string, an ordinal ("#n"), or nothing; predefined control classes by their names.
    std::string NameOrOrdinal(bool controlClass = false)
    {
        const WORD first = Read<WORD>();
        if (first == 0xFFFF) {
            const WORD ordinal = Read<WORD>();
            if (controlClass && ordinal == 0x80) return "BUTTON";
            if (controlClass && ordinal == 0x81) return "EDIT";
            if (controlClass && ordinal == 0x82) return "STATIC";
            return "#" + std::to_string(ordinal);
        }
        std::string text;
        for (WORD c = first; c != 0 && !overrun; c = Read<WORD>()) text += static_cast<char>(c);
        return text;
    }

    void AlignToDword() { offset = (offset + 3) & ~std::size_t{3}; }
    bool Overrun() const { return overrun; }
    std::size_t Offset() const { return offset; }

private:
    const BYTE* data;
    std::size_t size;
    std::size_t offset = 0;
    bool overrun = false;
};

class DialogResourcesTest : public DialogModuleTest {
protected:
    HMODULE Module() const { return static_cast<HMODULE>(module->Handle()); }

    // The resource's bytes in US English, or empty when the module has none.
    std::vector<BYTE> Resource(LPCSTR type, WORD id) const
    {
        HRSRC found = FindResourceExA(Module(), type, MAKEINTRESOURCEA(id), LANGUAGE_US_ENGLISH);
        if (found == nullptr) return {};
        const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(Module(), found)));
        return std::vector<BYTE>(bytes, bytes + SizeofResource(Module(), found));
    }

    std::vector<WORD> Languages(LPCSTR type, WORD id) const
    {
        std::vector<WORD> languages;
        EnumResourceLanguagesA(
            Module(), type, MAKEINTRESOURCEA(id),
            [](HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list) -> BOOL {
                reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
                return TRUE;
            },
            reinterpret_cast<LONG_PTR>(&languages));
        return languages;
    }

    DialogEntry ReadDialog(WORD id) const
    {
        const std::vector<BYTE> bytes = Resource(RT_DIALOG, id);
        DialogEntry dialog;
        if (bytes.empty()) {
            ADD_FAILURE() << "no US English dialog " << id;
            return dialog;
        }
        TemplateReader reader(bytes.data(), bytes.size());
        dialog.style = reader.Read<DWORD>();
        dialog.exStyle = reader.Read<DWORD>();
        const WORD count = reader.Read<WORD>();
        dialog.x = reader.Read<short>();
        dialog.y = reader.Read<short>();
        dialog.width = reader.Read<short>();
        dialog.height = reader.Read<short>();
        dialog.menu = reader.NameOrOrdinal();
        dialog.className = reader.NameOrOrdinal();
        dialog.title = reader.NameOrOrdinal();
        if ((dialog.style & DS_SETFONT) != 0) {
            dialog.pointSize = reader.Read<WORD>();
            dialog.font = reader.NameOrOrdinal();
        }
        for (WORD i = 0; i < count && !reader.Overrun(); ++i) {
            reader.AlignToDword();
            ControlEntry control{};
            control.style = reader.Read<DWORD>();
            EXPECT_EQ(reader.Read<DWORD>(), 0u) << "extended style of control " << i + 1;
            control.x = reader.Read<short>();
            control.y = reader.Read<short>();
            control.width = reader.Read<short>();
            control.height = reader.Read<short>();
            control.id = reader.Read<WORD>();
            control.className = reader.NameOrOrdinal(true);
            control.text = reader.NameOrOrdinal();
            EXPECT_EQ(reader.Read<WORD>(), 0u) << "creation data of control " << i + 1;
            dialog.controls.push_back(control);
        }
        EXPECT_FALSE(reader.Overrun()) << "dialog " << id << " is cut short";
        EXPECT_LE(bytes.size() - reader.Offset(), 3u)
            << "dialog " << id << " has bytes after its last control";
        return dialog;
    }
};

TEST_F(DialogResourcesTest, ControlDialogTemplateIsAsLaidOut)
{
    EXPECT_EQ(Languages(RT_DIALOG, IDD_CONTROL), std::vector<WORD>{LANGUAGE_US_ENGLISH});
    const DialogEntry dialog = ReadDialog(IDD_CONTROL);
    EXPECT_EQ(dialog.style, 0x80C800C0u);
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.width, 189);
    EXPECT_EQ(dialog.height, 135);
    EXPECT_EQ(dialog.menu, "");
    EXPECT_EQ(dialog.className, "");
    EXPECT_EQ(dialog.title, "Deepglass Control");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.font, "MS Sans Serif");

    FilterHandle filter = NewFilter();
    const std::vector<ControlEntry> expected = {
        {NO_ID, "BUTTON", "", 3, 0, 184, 33, 0x50000007},
        {NO_ID, "STATIC", "Deepglass, Version 1.0", 5, 8, 180, 8, 0x50020001},
        {NO_ID, "STATIC", filter->RightsNotice(), 5, 20, 180, 8, 0x50020001},
        {IDOK, "BUTTON", "OK", 34, 115, 50, 14, 0x50010001},
        {IDCANCEL, "BUTTON", "Cancel", 104, 115, 50, 14, 0x50010000},
        {1010, "BUTTON", "Whole Image", 20, 55, 95, 10, 0x50020009},
        {1011, "BUTTON", "Material Effects Channel", 20, 70, 95, 10, 0x50000009},
        {1012, "BUTTON", "Object Channel", 20, 85, 67, 10, 0x50000009},
        {1026, "CustEdit", "", 127, 70, 28, 10, 0x50010000},
        {1046, "SpinnerControl", "", 155, 70, 10, 10, 0x50010000},
        {1027, "CustEdit", "", 127, 85, 28, 10, 0x50010000},
        {1047, "SpinnerControl", "", 155, 85, 10, 10, 0x50010000},
        {NO_ID, "BUTTON", "Source", 6, 38, 177, 70, 0x50000007},
    };
    EXPECT_EQ(dialog.controls, expected);
    EXPECT_STRNE(filter->RightsNotice(), "");
}

TEST_F(DialogResourcesTest, AboutDialogTemplateIsAsLaidOut)
{
    EXPECT_EQ(Languages(RT_DIALOG, IDD_ABOUT), std::vector<WORD>{LANGUAGE_US_ENGLISH});
    const DialogEntry dialog = ReadDialog(IDD_ABOUT);
    EXPECT_EQ(dialog.style, 0x90C800C0u);
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.width, 189);
    EXPECT_EQ(dialog.height, 130);
    EXPECT_EQ(dialog.menu, "");
    EXPECT_EQ(dialog.className, "");
    EXPECT_EQ(dialog.title, "About Deepglass");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.font, "MS Sans Serif");

    FilterHandle filter = NewFilter();
    const std::vector<ControlEntry> expected = {
        {NO_ID, "BUTTON", "", 14, 2, 160, 100, 0x50000007},
        {NO_ID, "STATIC", "Deepglass", 16, 41, 156, 8, 0x50020001},
        {NO_ID, "STATIC", "Version 1.0", 16, 52, 156, 8, 0x50020001},
        {NO_ID, "STATIC", filter->AuthorLine(), 16, 63, 156, 8, 0x50020001},
        {NO_ID, "STATIC", filter->RightsNotice(), 16, 74, 156, 8, 0x50020001},
        {IDOK, "BUTTON", "OK", 69, 109, 50, 14, 0x50010001},
        {NO_ID, "STATIC", "#102", 51, 15, 90, 15, 0x5000000E},
        {NO_ID, "STATIC", DEEPGLASS_WEB_ADDRESS, 16, 85, 156, 8, 0x50020001},
    };
    EXPECT_EQ(dialog.controls, expected);
    EXPECT_STRNE(filter->AuthorLine(), "");
    EXPECT_STRNE(DEEPGLASS_WEB_ADDRESS, "");
}

TEST_F(DialogResourcesTest, LogoIsAn8BitBottomUpBitmapOf130By32)
{
    EXPECT_EQ(Languages(RT_BITMAP, IDB_LOGO), std::vector<WORD>{LANGUAGE_US_ENGLISH});
    const std::vector<BYTE> bytes = Resource(RT_BITMAP, IDB_LOGO);
    ASSERT_EQ(bytes.size(), 5288u);
    BITMAPINFOHEADER header;
    std::memcpy(&header, bytes.data(), sizeof header);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, 130);
    EXPECT_EQ(header.biHeight, 32); // positive: rows bottom-up
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 8);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_TRUE(header.biClrUsed == 0 || header.biClrUsed == 256) << header.biClrUsed;
    constexpr std::size_t ROW_BYTES = 132;
    EXPECT_EQ(40 + 256 * 4 + ROW_BYTES * 32, bytes.size());

    // A picture, not a blank: the ramp runs from light at the left to dark at the right, and the
    // colour table is used across its range.
    const BYTE* pixels = bytes.data() + 40 + 256 * 4;
    const RGBQUAD* colours = reinterpret_cast<const RGBQUAD*>(bytes.data() + 40);
    const BYTE bottomLeft = colours[pixels[0]].rgbGreen;
    const BYTE bottomRight = colours[pixels[129]].rgbGreen;
    EXPECT_GT(bottomLeft, bottomRight + 150);
    std::vector<bool> used(256, false);
    for (std::size_t row = 0; row < 32; ++row) {
        for (std::size_t x = 0; x < 130; ++x) used[pixels[row * ROW_BYTES + x]] = true;
    }
    EXPECT_GT(std::count(used.begin(), used.end(), true), 100);
}

} // namespace
