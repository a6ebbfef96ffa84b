// The resources built into Velquin.exe, read back from the file as Windows loads them.

#include <gtest/gtest.h>

#include <cstring>

#include "driver.h"

namespace gui {
namespace {

struct Control {
    int id;
    std::string kind;  // Button, Static, ListBox, or the class name as written
    std::string text;  // "#n" for a resource ordinal
    short x, y, cx, cy;
    DWORD style;
};

struct Dialog {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string caption, font;
    int pointSize = 0;
    std::vector<Control> controls;
};

// Reads DLGTEMPLATE and DLGTEMPLATEEX, the two layouts a dialog resource can have.
class TemplateReader {
public:
    TemplateReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    Dialog read()
    {
        Dialog d;
        const bool extended = size() >= 4 && word(0) == 1 && word(2) == 0xFFFF;
        std::size_t count;
        if (extended) {
            m_pos = 8;  // version, signature, help id
            d.exStyle = dword();
            d.style = dword();
            count = takeWord();
        } else {
            d.style = dword();
            d.exStyle = dword();
            count = takeWord();
        }
        d.x = static_cast<short>(takeWord());
        d.y = static_cast<short>(takeWord());
        d.cx = static_cast<short>(takeWord());
        d.cy = static_cast<short>(takeWord());
        nameOrOrdinal();  // menu
        nameOrOrdinal();  // window class
        d.caption = nameOrOrdinal();
        if (d.style & (DS_SETFONT | DS_SHELLFONT)) {
            d.pointSize = takeWord();
            if (extended)
                m_pos += 4;  // weight, italic, character set
            d.font = string();
        }
        for (std::size_t i = 0; i < count; ++i) {
            m_pos = (m_pos + 3) & ~std::size_t(3);
            Control c{};
            if (extended) {
                m_pos += 4;  // help id
                dword();     // extended style
                c.style = dword();
            } else {
                c.style = dword();
                dword();
            }
            c.x = static_cast<short>(takeWord());
            c.y = static_cast<short>(takeWord());
            c.cx = static_cast<short>(takeWord());
            c.cy = static_cast<short>(takeWord());
            c.id = extended ? static_cast<int>(dword()) : static_cast<short>(takeWord());
            c.kind = className(nameOrOrdinal());
            c.text = nameOrOrdinal();
            m_pos += takeWord();  // creation data
            d.controls.push_back(c);
        }
        return d;
    }

private:
    std::size_t size() const { return m_size; }
    void need(std::size_t n) const
    {
        if (m_pos + n > m_size)
            throw DriverError("dialog template ends early");
    }
    unsigned word(std::size_t at) const { return m_data[at] | (m_data[at + 1] << 8); }
    unsigned takeWord()
    {
        need(2);
        unsigned v = word(m_pos);
        m_pos += 2;
        return v;
    }
    DWORD dword()
    {
        DWORD lo = takeWord();
        return lo | (DWORD(takeWord()) << 16);
    }
    std::string string()
    {
        std::string s;
        for (unsigned c; (c = takeWord()) != 0;)
            s += c < 0x80 ? static_cast<char>(c) : '?';
        return s;
    }
    std::string nameOrOrdinal()
    {
        need(2);
        if (word(m_pos) == 0) {
            m_pos += 2;
            return "";
        }
        if (word(m_pos) == 0xFFFF) {
            m_pos += 2;
            return "#" + std::to_string(takeWord());
        }
        return string();
    }
    static std::string className(const std::string& name)
    {
        if (name == "#128" || _stricmp(name.c_str(), "Button") == 0)
            return "Button";
        if (name == "#130" || _stricmp(name.c_str(), "Static") == 0)
            return "Static";
        if (name == "#131" || _stricmp(name.c_str(), "ListBox") == 0)
            return "ListBox";
        if (name == "#129" || _stricmp(name.c_str(), "Edit") == 0)
            return "Edit";
        return name;
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

class Resources : public testing::Test {
protected:
    void SetUp() override
    {
        m_module = LoadLibraryExA(options().exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(m_module, nullptr) << "cannot load " << options().exe << " as data";
    }
    void TearDown() override
    {
        if (m_module)
            FreeLibrary(m_module);
    }

    std::pair<const std::uint8_t*, std::size_t> resource(int id, LPCSTR type) const
    {
        HRSRC found = FindResourceA(m_module, MAKEINTRESOURCEA(id), type);
        if (!found)
            throw DriverError("resource " + std::to_string(id) + " is missing");
        HGLOBAL loaded = LoadResource(m_module, found);
        return {static_cast<const std::uint8_t*>(LockResource(loaded)), SizeofResource(m_module, found)};
    }
    Dialog dialog(int id) const
    {
        auto r = resource(id, MAKEINTRESOURCEA(5));  // RT_DIALOG
        return TemplateReader(r.first, r.second).read();
    }

    HMODULE m_module = nullptr;
};

constexpr DWORD kPush = BS_PUSHBUTTON, kDefault = BS_DEFPUSHBUTTON, kGroupBox = BS_GROUPBOX;
// Text controls start a group, as the resource compiler's defaults for them say; a
// picture, written as a plain control, does not.
constexpr DWORD kPicture = SS_TYPEMASK | WS_GROUP;

struct Expected {
    int id;
    const char* kind;
    const char* text;  // nullptr: any non-empty text
    short x, y, cx, cy;
    DWORD typeMask, type;  // (style & typeMask) == type
    DWORD required;        // bits that must be set
};

void expectControls(const Dialog& d, const std::vector<Expected>& table)
{
    std::vector<Control> visible;
    for (const Control& c : d.controls)
        if (c.style & WS_VISIBLE)
            visible.push_back(c);
    ASSERT_EQ(visible.size(), table.size()) << "number of visible controls";
    for (std::size_t i = 0; i < table.size(); ++i) {
        const Control& c = visible[i];
        const Expected& e = table[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (id " + std::to_string(e.id) + ")");
        EXPECT_EQ(c.id == 0xFFFF ? -1 : c.id, e.id);
        EXPECT_EQ(c.kind, e.kind);
        if (e.text)
            EXPECT_EQ(c.text, e.text);
        else
            EXPECT_FALSE(c.text.empty());
        EXPECT_EQ(c.x, e.x);
        EXPECT_EQ(c.y, e.y);
        EXPECT_EQ(c.cx, e.cx);
        EXPECT_EQ(c.cy, e.cy);
        EXPECT_EQ(c.style & e.typeMask, e.type) << std::hex << "style 0x" << c.style;
        EXPECT_EQ(c.style & (e.required | WS_CHILD), e.required | WS_CHILD) << std::hex << "style 0x" << c.style;
    }
}

TEST_F(Resources, MainWindowTemplate)
{
    const Dialog d = dialog(102);
    EXPECT_EQ(d.caption, "Velquin 1.0");
    EXPECT_EQ(d.cx, 314);
    EXPECT_EQ(d.cy, 220);
    EXPECT_EQ(d.font, "MS Sans Serif");
    EXPECT_EQ(d.pointSize, 8);
    const DWORD required = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    EXPECT_EQ(d.style & required, required) << std::hex << d.style;
    EXPECT_EQ(d.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u) << std::hex << d.style;
    EXPECT_TRUE(d.exStyle & WS_EX_APPWINDOW) << std::hex << d.exStyle;

    const DWORD pathStyle = SS_TYPEMASK | SS_CENTERIMAGE;
    const DWORD list = LBS_SORT | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOSEL | LBS_NOTIFY |
                       LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP;
    const DWORD listMask = list | LBS_OWNERDRAWVARIABLE | LBS_MULTIPLESEL | LBS_EXTENDEDSEL | LBS_NODATA;
    expectControls(d, {
        {1, "Button", "Patch", 235, 199, 50, 14, BS_TYPEMASK, kDefault, WS_TABSTOP},
        {1002, "Button", "Source file", 7, 7, 300, 27, BS_TYPEMASK, kGroupBox, 0},
        {1001, "Button", "Browse", 263, 16, 38, 13, BS_TYPEMASK, kPush, WS_TABSTOP},
        {1003, "Button", "Patch file", 7, 37, 300, 27, BS_TYPEMASK, kGroupBox, 0},
        {1005, "Button", "Browse", 263, 46, 38, 13, BS_TYPEMASK, kPush, WS_TABSTOP},
        {1004, "Button", "Destination file", 7, 67, 300, 27, BS_TYPEMASK, kGroupBox, 0},
        {1006, "Button", "Browse", 263, 76, 38, 13, BS_TYPEMASK, kPush, WS_TABSTOP},
        {1000, "Static", "Not set", 13, 16, 243, 13, pathStyle, SS_LEFTNOWORDWRAP | SS_CENTERIMAGE, WS_GROUP},
        {1007, "Static", "Not set", 13, 46, 243, 13, pathStyle, SS_LEFTNOWORDWRAP | SS_CENTERIMAGE, WS_GROUP},
        {1008, "Static", "Not set", 13, 76, 243, 13, pathStyle, SS_LEFTNOWORDWRAP | SS_CENTERIMAGE, WS_GROUP},
        {1013, "ListBox", "", 13, 108, 132, 99, listMask, list, 0},
        {1014, "Button", "Hunk list", 7, 99, 197, 114, BS_TYPEMASK, kGroupBox, 0},
        {1015, "Button", "Select All", 149, 108, 50, 14, BS_TYPEMASK, kPush, WS_TABSTOP},
        {1016, "Button", "Select None", 149, 148, 50, 14, BS_TYPEMASK, kPush, WS_TABSTOP},
        {1017, "Button", "Invert", 149, 128, 50, 14, BS_TYPEMASK, kPush, WS_TABSTOP},
        {-1, "Static", "Hunks in patch:", 149, 168, 50, 8, SS_TYPEMASK, SS_LEFT, WS_GROUP},
        {1020, "Static", "0", 149, 178, 50, 8, SS_TYPEMASK, SS_CENTER, WS_GROUP},
        {1022, "Static", "#130", 224, 113, 71, 70, kPicture, SS_BITMAP, 0},
    });
}

TEST_F(Resources, AboutBoxTemplate)
{
    const Dialog d = dialog(100);
    EXPECT_EQ(d.caption, "About Velquin");
    EXPECT_EQ(d.cx, 248);
    EXPECT_EQ(d.cy, 84);
    EXPECT_EQ(d.font, "MS Sans Serif");
    EXPECT_EQ(d.pointSize, 8);
    const DWORD required = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    EXPECT_EQ(d.style & required, required) << std::hex << d.style;
    expectControls(d, {
        {-1, "Static", "Velquin Version 1.0", 89, 31, 119, 8, SS_TYPEMASK | SS_NOPREFIX, SS_LEFT | SS_NOPREFIX,
         WS_GROUP},
        {-1, "Static", nullptr, 89, 44, 139, 8, SS_TYPEMASK, SS_LEFT, WS_GROUP},
        {1, "Button", "OK", 209, 7, 32, 14, BS_TYPEMASK, kDefault, WS_GROUP | WS_TABSTOP},
        {-1, "Static", "#130", 7, 7, 71, 70, kPicture, SS_BITMAP, 0},
    });
}

#pragma pack(push, 1)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST_F(Resources, IconHasLargeAndSmall16ColourImages)
{
    auto group = resource(128, MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_GE(group.second, 6u);
    const WORD count = *reinterpret_cast<const WORD*>(group.first + 4);
    ASSERT_EQ(count, 2) << "images in icon 128";
    ASSERT_GE(group.second, 6u + count * sizeof(GroupIconEntry));
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        GroupIconEntry e;
        std::memcpy(&e, group.first + 6 + i * sizeof e, sizeof e);
        sizes.push_back(e.width);
        SCOPED_TRACE("image " + std::to_string(e.width) + "x" + std::to_string(e.height));
        EXPECT_EQ(e.width, e.height);
        auto image = resource(e.id, MAKEINTRESOURCEA(3));  // RT_ICON
        ASSERT_GE(image.second, sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER header;
        std::memcpy(&header, image.first, sizeof header);
        EXPECT_EQ(header.biWidth, e.width);
        EXPECT_EQ(header.biHeight, 2 * e.height) << "image and mask";
        EXPECT_EQ(header.biBitCount, 4) << "16 colours";
        HICON icon = CreateIconFromResourceEx(const_cast<BYTE*>(image.first), static_cast<DWORD>(image.second), TRUE,
                                              0x00030000, e.width, e.height, LR_DEFAULTCOLOR);
        EXPECT_NE(icon, nullptr) << "Windows cannot make an icon of it";
        if (icon)
            DestroyIcon(icon);
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<int>{16, 32}));
}

TEST_F(Resources, LogoIs107By114In16Colours)
{
    auto bitmap = resource(130, MAKEINTRESOURCEA(2));  // RT_BITMAP
    ASSERT_GE(bitmap.second, sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    std::memcpy(&header, bitmap.first, sizeof header);
    EXPECT_EQ(header.biWidth, 107);
    EXPECT_EQ(std::abs(header.biHeight), 114);
    EXPECT_EQ(header.biBitCount, 4);
    EXPECT_TRUE(header.biClrUsed == 0 || header.biClrUsed == 16) << header.biClrUsed;
    const std::size_t stride = ((107 * 4 + 31) / 32) * 4;
    EXPECT_GE(bitmap.second, header.biSize + 16 * 4 + stride * 114) << "pixels missing";
}

TEST_F(Resources, StringsAndVersion)
{
    char text[256] = {};
    EXPECT_GT(LoadStringA(m_module, 101, text, sizeof text), 0);
    EXPECT_STREQ(text, "&About Velquin...");
    // Without string 0xE000 the reports are captioned with the executable's name.
    EXPECT_EQ(LoadStringA(m_module, 0xE000, text, sizeof text), 0);

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(options().exe.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version record";
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(options().exe.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
}

}  // namespace
}  // namespace gui
