// What the window looks like where it runs: every text whole in the font its dialog
// really gets, the list in a monospaced font, and the hourglass while a long load runs.

#include "scenario.h"

#include <set>

namespace gui {
namespace {

// One of the program's dialog templates made into a hidden dialog of the driver's own.
// In the same prefix the dialog manager gives it the same font as the program's, so its
// texts measure as they do there; the controls' sizes are compared to make sure.
class TemplateCopy {
public:
    explicit TemplateCopy(int templateId)
        : m_module(LoadLibraryExA(options().exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE))
    {
        if (!m_module)
            throw DriverError("cannot read the program's resources");
        m_dialog = CreateDialogParamA(m_module, MAKEINTRESOURCEA(templateId), nullptr,
                                      [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
        if (!m_dialog)
            throw DriverError("cannot create dialog " + std::to_string(templateId) + " from the template");
    }
    ~TemplateCopy()
    {
        DestroyWindow(m_dialog);
        FreeLibrary(m_module);
    }
    TemplateCopy(const TemplateCopy&) = delete;
    TemplateCopy& operator=(const TemplateCopy&) = delete;

    HWND hwnd() const { return m_dialog; }

private:
    HMODULE m_module;
    HWND m_dialog = nullptr;
};

SIZE clientSize(HWND window)
{
    RECT r;
    GetClientRect(window, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// Every text the real dialog shows, measured in its font against the room its control
// gives it: a static's client area, a button's inside its frame, a group box's top edge
// less the gaps either side of its caption.
void expectTextsFit(HWND real, const TemplateCopy& copy)
{
    const std::vector<HWND> shown = children(real), measured = children(copy.hwnd());
    ASSERT_EQ(shown.size(), measured.size()) << "controls of \"" << windowText(real) << "\"";
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const std::wstring text = wideText(shown[i]);
        const std::string kind = className(measured[i]);
        const LONG style = GetWindowLongA(measured[i], GWL_STYLE);
        // Pictures: above 96 DPI the program fits the logo to its room.
        if (text.empty() || (kind == "Static" && (style & SS_TYPEMASK) > SS_RIGHT))
            continue;
        const SIZE room = clientSize(shown[i]);
        const SIZE copyRoom = clientSize(measured[i]);
        ASSERT_TRUE(room.cx == copyRoom.cx && room.cy == copyRoom.cy)
            << "control " << i << " of \"" << windowText(real) << "\" is not the size of the template's: "
            << "the program's dialog has another font";
        HDC dc = GetDC(measured[i]);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(measured[i], WM_GETFONT, 0, 0)));
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        RECT need{0, 0, 0, 0};
        const bool noPrefix = kind == "Static" && (style & SS_NOPREFIX);
        DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE | (noPrefix ? DT_NOPREFIX : 0));
        SelectObject(dc, old);
        ReleaseDC(measured[i], dc);

        LONG width = room.cx, height = room.cy;
        if (kind == "Button" && (style & BS_TYPEMASK) == BS_GROUPBOX) {
            width -= 2 * metrics.tmAveCharWidth;
            height = metrics.tmHeight;
        } else if (kind == "Button") {
            width -= 2 * (GetSystemMetrics(SM_CXEDGE) + 1);
            height -= 2 * GetSystemMetrics(SM_CYEDGE);
        }
        EXPECT_LE(need.right, width) << "\"" << narrow(text) << "\" is cut in \"" << windowText(real) << "\"";
        EXPECT_LE(need.bottom, height) << "\"" << narrow(text) << "\" is cut in \"" << windowText(real) << "\"";
    }
}

TEST(Look, EveryTextFitsItsControl)
{
    App app;
    {
        TemplateCopy main(102);
        expectTextsFit(app.main(), main);
    }
    HWND about = app.openAbout();
    {
        TemplateCopy copy(100);
        expectTextsFit(about, copy);
    }
    clickButton(GetDlgItem(about, IDOK));
    waitGone(about);
    EXPECT_TRUE(app.closeWithEsc());
}

TEST(Look, TheListFontIsMonospaced)
{
    // The font the program asks for: "Lucida Console" at 10 points on this screen.
    LOGFONTW request{};
    HDC screen = GetDC(nullptr);
    request.lfHeight = -(GetDeviceCaps(screen, LOGPIXELSY) * 100 / 720);
    request.lfCharSet = DEFAULT_CHARSET;
    lstrcpyW(request.lfFaceName, L"Lucida Console");
    HFONT font = CreateFontIndirectW(&request);
    HGDIOBJ old = SelectObject(screen, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    SIZE narrowText{}, wideText{};
    GetTextExtentPoint32W(screen, L"iiiiiiii", 8, &narrowText);
    GetTextExtentPoint32W(screen, L"WWWWWWWW", 8, &wideText);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(screen, LF_FACESIZE, face);
    SelectObject(screen, old);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);

    // The pitch bit is set for variable-pitch fonts.
    EXPECT_EQ(metrics.tmPitchAndFamily & TMPF_FIXED_PITCH, 0) << narrow(face) << " is not monospaced";
    EXPECT_EQ(narrowText.cx, wideText.cx) << narrow(face) << " draws i and W in different widths";

    // And it is the font the program's list draws with: the rows are its height.
    App app;
    EXPECT_EQ(send(app.item(IDC_HUNK_LIST), LB_GETITEMHEIGHT, 0), std::max<LONG>(metrics.tmHeight, 12));
    EXPECT_TRUE(app.closeWithEsc());
}

// The cursor of the program's thread while it is in front, as the system shows it.
HCURSOR shownCursor()
{
    CURSORINFO info{};
    info.cbSize = sizeof info;
    return GetCursorInfo(&info) ? info.hCursor : nullptr;
}

// Puts the mouse over the list and returns the cursor the program shows there: the
// arrow. Nothing but the program itself
// changes it while the mouse rests there.
HCURSOR restOverTheList(App& app)
{
    HWND list = app.item(IDC_HUNK_LIST);
    bringToFront(app.main());
    RECT r;
    GetClientRect(list, &r);
    clickAt(list, POINT{r.right / 2, r.bottom - 3});
    app.settle();
    const HCURSOR arrow = shownCursor();
    if (!arrow)
        throw DriverError("the program's cursor cannot be seen");
    return arrow;
}

// A control's text as the system keeps it: asked of another program's window, this
// sends no message, so it does not wait for a busy program.
std::wstring shownText(HWND control)
{
    wchar_t text[64] = {};
    GetWindowTextW(control, text, 64);
    return text;
}

// The cursors shown until done() holds, watched without asking the program anything:
// it answers no message while a command works. The arrow is left out.
template <class Done>
std::set<HCURSOR> cursorsUntil(Done done, HCURSOR arrow)
{
    std::set<HCURSOR> seen;
    if (!waitUntil(
            [&] {
                if (done())
                    return true;
                seen.insert(shownCursor());
                return false;
            },
            60000))
        throw DriverError("the command did not end");
    seen.erase(arrow);
    return seen;
}

TEST(Look, HourglassWhileLongCommandsRun)
{
    // Enough records that loading them and walking their ticks takes a while.
    const std::string folder = testFolder();
    PatchFile p;
    for (std::uint32_t i = 0; i < 300000; ++i)
        p.literal(i * 8, Bytes{static_cast<std::uint8_t>(i)});
    const std::string patch = writePatch(joinPath(folder, "long.ips"), p);
    const std::string source = joinPath(folder, "source.bin");
    writeFile(source, randomBytes(64, 80));

    App app;
    app.chooseFile(IDC_BROWSE_SOURCE, source);
    app.chooseFile(IDC_BROWSE_DEST, joinPath(folder, "patched.bin"));
    const HCURSOR arrow = restOverTheList(app);

    app.startFile(IDC_BROWSE_PATCH, patch);
    HWND count = app.item(IDC_HUNK_COUNT);
    const std::set<HCURSOR> loading = cursorsUntil([&] { return shownText(count) == L"300000"; }, arrow);
    EXPECT_EQ(loading.size(), 1u) << "the cursor is not the hourglass while the patch loads";
    app.settle();
    EXPECT_EQ(shownCursor(), arrow) << "the arrow is not back after the load";

    clickButton(app.item(IDOK));
    const std::set<HCURSOR> patching = cursorsUntil([&] { return app.reportBox() != nullptr; }, arrow);
    EXPECT_EQ(patching, loading) << "the cursor is not the hourglass while Patch works";
    EXPECT_REPORT(app, app.waitForReport(), kSuccess, IconKind::exclamation);
    EXPECT_EQ(shownCursor(), arrow) << "the arrow is not back after Patch";
    EXPECT_TRUE(app.closeWithEsc());
}

}  // namespace
}  // namespace gui
