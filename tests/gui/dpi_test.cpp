// The window at the screen's DPI: the program declares itself system aware, and what it
// draws itself (the check boxes, their click area, the rows, the logo) scales with the
// screen, exactly as designed at 96 DPI. dpi.sh runs these at 96, 144 and 192 DPI, each
// in a prefix of its own, and says in VELQUIN_DPI which one.

#include "scenario.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace gui {
namespace {

constexpr int kLogoBitmap = 130;
// The room both templates give the logo, in dialog units.
constexpr RECT kLogoUnits{0, 0, 71, 70};

class Dpi : public testing::Test {
protected:
    void SetUp() override
    {
        char wanted[16] = "";
        if (GetEnvironmentVariableA("VELQUIN_DPI", wanted, sizeof wanted) > 0) {
            ASSERT_EQ(screenDpi(), std::atoi(wanted)) << "the prefix's LogPixels did not take";
        }
    }
};

std::string manifest()
{
    HMODULE module = LoadLibraryExA(options().exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        throw DriverError("cannot read the program's resources");
    std::string text;
    if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {  // RT_MANIFEST
        const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
        text.assign(data, SizeofResource(module, found));
    }
    FreeLibrary(module);
    return text;
}

TEST_F(Dpi, TheProgramIsSystemAware)
{
    // Windows reads both: the first from Vista on, the second, which wins, from Windows 10
    // 1607 on. Without them the system stretches the window and blurs every text.
    const std::string text = manifest();
    EXPECT_NE(text.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">system"
                        "</dpiAwareness>"),
              std::string::npos)
        << text;
}

// The bounding box of the pixels of a picture that pred holds for; empty when there
// are none.
template <class Pred>
RECT boundsWhere(const Pixels& picture, Pred pred)
{
    RECT box{picture.width, picture.height, 0, 0};
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            if (pred(picture.rgb[static_cast<std::size_t>(y * picture.width + x)])) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    return box.right > box.left ? box : RECT{0, 0, 0, 0};
}

std::uint32_t pixelAt(const Pixels& picture, int x, int y)
{
    return picture.rgb.at(static_cast<std::size_t>(y * picture.width + x));
}

std::uint32_t rgbOf(COLORREF colour) { return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour); }

LOGFONTA listFont(const App& app) { return CommandSpy(app).fontOf(app.item(IDC_HUNK_LIST)); }

// The text's height in font, or, given text, its width.
int measure(const LOGFONTA& request, const char* text = nullptr)
{
    HFONT font = CreateFontIndirectA(&request);
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font);
    TEXTMETRICA metrics{};
    GetTextMetricsA(screen, &metrics);
    SIZE size{};
    if (text)
        GetTextExtentPoint32A(screen, text, lstrlenA(text), &size);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    DeleteObject(font);
    return text ? size.cx : metrics.tmHeight;
}

TEST_F(Dpi, CheckBoxesRowsAndTheirClickAreaScale)
{
    PatchFile patch;
    for (std::uint32_t i = 0; i < 4; ++i)
        patch.literal(0x100 * i, Bytes{1, 2, 3});
    const std::string path = writePatch(joinPath(testFolder(), "four.ips"), patch);

    const int box = scaledToScreen(11), inset = scaledToScreen(1), area = box + scaledToScreen(2);
    App app;
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, path, patch));
    HWND list = app.item(IDC_HUNK_LIST);
    const int rowHeight = static_cast<int>(send(list, LB_GETITEMHEIGHT, 0));
    EXPECT_EQ(rowHeight, std::max(measure(listFont(app)), box + scaledToScreen(1)))
        << "rows are as high as the list font's text, and at least the box and one pixel";
    if (screenDpi() == 96) {
        EXPECT_EQ(listFont(app).lfHeight, -13) << "10 points, so rows are as they always were";
    }

    // Where row's box and its inside are, in the list's client area.
    const int top = (rowHeight - box) / 2;
    auto boxOf = [&](int index) {
        const RECT r = app.rowRect(index);
        return RECT{inset, r.top + top, inset + box, r.top + top + box};
    };
    auto insideOf = [&](int index) {
        RECT r = boxOf(index);
        InflateRect(&r, -inset, -inset);
        return r;
    };
    // Themed, each box is the style's own check box drawn into the same square over the
    // list's colour, so the check area of a row is what the test draws the same way.
    const bool themed = std::getenv("VELQUIN_THEME") && std::string(std::getenv("VELQUIN_THEME")) == "themed";
    const HTHEME theme = OpenThemeData(nullptr, L"Button");
    ASSERT_EQ(theme != nullptr, themed) << "the prefix's theme is not what the scenario asks for";
    auto themedArea = [&](int check) {
        return paint(area, rowHeight, [&](HDC dc) {
            const RECT all{0, 0, area, rowHeight}, square{inset, top, inset + box, top + box};
            FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));
            DrawThemeBackground(theme, dc, BP_CHECKBOX, check ? CBS_CHECKEDNORMAL : CBS_UNCHECKEDNORMAL, &square,
                                nullptr);
        });
    };
    auto areaOf = [&](int index) {
        const RECT r = app.rowRect(index);
        return capture(list, RECT{0, r.top, area, r.bottom});
    };
    app.clickRow(0, area / 2);
    ASSERT_EQ(app.checks()[0], 0);
    // The click area runs from the row's left edge to two pixels past the box.
    std::vector<int> model{0, 1, 1, 1};
    auto expectChecks = [&](const char* after) {
        waitUntil([&] { return app.checks() == model; });
        EXPECT_EQ(app.checks(), model) << "after " << after;
        model = app.checks();
    };
    app.clickRow(1, area - 1);
    model[1] = 0;
    expectChecks("a click on the click area's last column");
    app.clickRow(1, 0);
    model[1] = 1;
    expectChecks("a click on the click area's first column");
    app.clickRow(2, area);
    app.settle();  // once more: a toggle the click made would show by now
    expectChecks("a click on the first column past the click area");

    // Row 0 is unticked and row 1 ticked, as the clicks left them.
    if (themed) {
        ASSERT_NE(themedArea(0), themedArea(1)) << "the theme draws both states alike";
        EXPECT_TRUE(waitUntil([&] { return areaOf(0) == themedArea(0); })) << "row 0 is not the theme's unticked box";
        EXPECT_TRUE(waitUntil([&] { return areaOf(1) == themedArea(1); })) << "row 1 is not the theme's ticked box";
        CloseThemeData(theme);
        EXPECT_TRUE(app.closeWithEsc());
        return;
    }

    // The box's centre shows the mark when ticked and the window's colour when not.
    auto looks = [&](int index, int check) {
        const RECT b = boxOf(index);
        const Pixels centre = capture(list, RECT{(b.left + b.right) / 2, (b.top + b.bottom) / 2,
                                                 (b.left + b.right) / 2 + 1, (b.top + b.bottom) / 2 + 1});
        return centre.rgb[0] == rgbOf(GetSysColor(check ? COLOR_WINDOWTEXT : COLOR_WINDOW));
    };

    // Unticked, the box is a frame around the window's colour, as thick as the inset.
    ASSERT_TRUE(waitUntil([&] { return looks(0, 0); })) << "row 0 does not look unticked";
    const RECT row = app.rowRect(0);
    const Pixels unticked = capture(list, RECT{0, row.top, area, row.bottom});
    const COLORREF frame = GetSysColor(COLOR_3DDKSHADOW);
    const RECT drawn = boundsWhere(unticked, [&](std::uint32_t p) { return p == rgbOf(frame); });
    EXPECT_EQ(drawn.left, inset) << "the box's left edge";
    EXPECT_EQ(drawn.right - drawn.left, box) << "the box's width";
    EXPECT_EQ(drawn.top, top) << "the box is centred in its row";
    EXPECT_EQ(drawn.bottom - drawn.top, box) << "the box's height";
    const int middle = top + box / 2;
    for (int x = inset; x < inset + inset; ++x)
        EXPECT_EQ(pixelAt(unticked, x, middle), rgbOf(frame)) << "the frame at x = " << x;
    EXPECT_EQ(pixelAt(unticked, inset + inset, middle), rgbOf(GetSysColor(COLOR_WINDOW)))
        << "the frame is thicker than the inset";

    // Ticked, the mark covers about as much of the box as its 21 pixels at 96 DPI.
    ASSERT_TRUE(waitUntil([&] { return looks(1, 1); })) << "row 1 does not look ticked";
    const Pixels ticked = capture(list, insideOf(1));
    const double expectedMark = 21.0 * screenDpi() * screenDpi() / (96.0 * 96.0);
    const auto mark = std::count(ticked.rgb.begin(), ticked.rgb.end(), rgbOf(GetSysColor(COLOR_WINDOWTEXT)));
    EXPECT_GT(mark, expectedMark * 0.75) << "the check mark does not grow with the box";
    EXPECT_LT(mark, expectedMark * 1.5) << "the check mark is too heavy";
    if (screenDpi() == 96) {
        // At 96 DPI the inside of a ticked box is as it always was, pixel for pixel.
        static const char* const kTicked[9] = {".........", ".......#.", "......##.", ".#...###.", ".##.###..",
                                               ".#####...", "..###....", "...#.....", "........."};
        ASSERT_EQ(ticked.width, 9);
        ASSERT_EQ(ticked.height, 9);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 9; ++x)
                EXPECT_EQ(pixelAt(ticked, x, y),
                          rgbOf(GetSysColor(kTicked[y][x] == '#' ? COLOR_WINDOWTEXT : COLOR_WINDOW)))
                    << "the ticked box's inside at (" << x << ", " << y << ")";
    }

    EXPECT_TRUE(app.closeWithEsc());
}

// The widest label fits beside its check box with the scroll bar shown, in the largest
// font up to 10 points that lets it.
TEST_F(Dpi, LabelsFitTheList)
{
    PatchFile patch;
    for (std::uint32_t i = 0; i < 40; ++i)
        patch.literal(0xFFFFFF - 0x1000 * i - 15, Bytes(15, 7));
    const std::string path = writePatch(joinPath(testFolder(), "high.ips"), patch);
    App app;
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, path, patch));
    HWND list = app.item(IDC_HUNK_LIST);
    ASSERT_TRUE(GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL) << "the scroll bar is shown";
    RECT client;
    GetClientRect(list, &client);
    LOGFONTA font = listFont(app);
    int widest = 0;
    for (const ListItem& item : app.list())
        widest = std::max(widest, measure(font, item.label.c_str()));
    const int area = scaledToScreen(13);
    std::printf("%d DPI: list font %ld px, widest label %d px, check area %d px, client %ld px\n", screenDpi(),
                font.lfHeight, widest, area, client.right);
    EXPECT_LE(area + widest, client.right) << "the widest label is cut";
    if (-font.lfHeight < screenDpi() * 100 / 720) {
        font.lfHeight -= 1;
        EXPECT_GT(area + measure(font, " 0x000000 - 0x000000"), client.right) << "a larger font would fit";
    }
    EXPECT_TRUE(app.closeWithEsc());
}

// The bounding box of what differs from the dialog's face colour in a part of a window.
RECT drawnWithin(HWND window, RECT part)
{
    const std::uint32_t face = rgbOf(GetSysColor(COLOR_3DFACE));
    RECT box = boundsWhere(capture(window, part), [&](std::uint32_t p) { return p != face; });
    OffsetRect(&box, part.left, part.top);
    return box;
}

// Mean colours of a picture over a grid of cells, one 0xRRGGBB-like triple per cell.
std::vector<double> cellMeans(const Pixels& picture, int cells)
{
    std::vector<double> sums(static_cast<std::size_t>(cells * cells * 3)), counts(static_cast<std::size_t>(cells * cells));
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const std::size_t cell = static_cast<std::size_t>((y * cells / picture.height) * cells + x * cells / picture.width);
            const std::uint32_t p = pixelAt(picture, x, y);
            for (int c = 0; c < 3; ++c)
                sums[cell * 3 + c] += (p >> (16 - 8 * c)) & 0xFF;
            counts[cell] += 1;
        }
    for (std::size_t i = 0; i < sums.size(); ++i)
        sums[i] /= counts[i / 3];
    return sums;
}

// The logo fills the room its template gives it, and shows the design's logo: the same
// colours in the same places as bitmap 130, exactly so at 96 DPI.
void expectLogo(HWND dialog, HWND picture, int templateId)
{
    const RECT room = dialogUnitsToPixels(templateId, kLogoUnits);
    RECT client;
    GetClientRect(picture, &client);
    EXPECT_EQ(client.right, room.right) << "the logo's width in dialog " << templateId;
    EXPECT_EQ(client.bottom, room.bottom) << "the logo's height in dialog " << templateId;

    RECT place = client;
    MapWindowPoints(picture, dialog, reinterpret_cast<POINT*>(&place), 2);
    RECT around = place;
    InflateRect(&around, 4, 4);
    const RECT drawn = drawnWithin(dialog, around);
    EXPECT_TRUE(EqualRect(&drawn, &place)) << "the logo covers (" << drawn.left << ", " << drawn.top << ")-("
                                           << drawn.right << ", " << drawn.bottom << ") of its room ("
                                           << place.left << ", " << place.top << ")-(" << place.right << ", "
                                           << place.bottom << ")";

    const Pixels shown = capture(picture, client), design = bitmapResource(kLogoBitmap);
    if (screenDpi() == 96) {
        EXPECT_TRUE(shown == design) << "at 96 DPI the logo is bitmap 130 itself";
        return;
    }
    const std::vector<double> a = cellMeans(shown, 8), b = cellMeans(design, 8);
    double worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        worst = std::max(worst, std::abs(a[i] - b[i]));
    EXPECT_LT(worst, 40) << "the logo does not look like bitmap 130";
}

TEST_F(Dpi, TheLogoFillsItsRoomInBothDialogs)
{
    App app;
    expectLogo(app.main(), app.item(IDC_LOGO), 102);
    HWND about = app.openAbout();
    app.settle();  // the box has been handled and painted
    HWND picture = nullptr;
    for (HWND w : children(about))
        if (className(w) == "Static" && (GetWindowLongA(w, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP)
            picture = w;
    ASSERT_NE(picture, nullptr) << "the About box has no logo";
    expectLogo(about, picture, 100);
    clickButton(GetDlgItem(about, IDOK));
    waitGone(about);
    EXPECT_TRUE(app.closeWithEsc());
}

}  // namespace
}  // namespace gui
