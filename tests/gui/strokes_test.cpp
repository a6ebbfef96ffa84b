// Thousands of hunks in a few strokes: ranges by Shift, offsets typed, one toggle a press
// of Space, the caret row's tip; the menus of the list and of the path rows; a long path
// on screen; what screen readers call the controls.

#include "scenario.h"
#include "screen_reader.h"

namespace gui {
namespace {

constexpr int kRows = 40;  // more than the list shows at once

// Row i writes 16 bytes at (i + 1) * 0x1000.
PatchFile everyPage()
{
    PatchFile p;
    for (int i = kRows - 1; i >= 0; --i)
        p.literal(static_cast<std::uint32_t>(i + 1) * 0x1000, randomBytes(16, static_cast<std::uint32_t>(i)));
    return p;
}

std::vector<int> ticks(std::initializer_list<std::pair<int, int>> unticked)
{
    std::vector<int> checks(kRows, 1);
    for (const auto& range : unticked)
        std::fill(checks.begin() + range.first, checks.begin() + range.second + 1, 0);
    return checks;
}

int caretOf(const App& app) { return static_cast<int>(send(app.item(IDC_HUNK_LIST), LB_GETCARETINDEX)); }

// The program's menu that shows, with what it holds.
HWND waitMenu(const App& app)
{
    return findWindow(app.pid(), "#32768", nullptr, 5000);
}

// Chooses the item text of the menu that shows, with a click on it.
void choose(const App& app, const CommandSpy& spy, const std::string& text)
{
    const HWND menu = waitMenu(app);
    for (const CommandSpy::MenuItem& item : spy.menu(menu)) {
        if (item.text == text) {
            clickScreen(nullptr, {(item.screen.left + item.screen.right) / 2, (item.screen.top + item.screen.bottom) / 2});
            waitGone(menu);
            app.settle();
            return;
        }
    }
    throw DriverError("the menu has no item " + text);
}

// The texts of the menu that shows, "(grey)" after a greyed one and "(bold)" after the
// default, "-" for a separator; the menu is closed again.
std::vector<std::string> itemsShown(const App& app, const CommandSpy& spy)
{
    const HWND menu = waitMenu(app);
    std::vector<std::string> texts;
    for (const CommandSpy::MenuItem& item : spy.menu(menu))
        texts.push_back(item.text.empty() ? "-" : item.text + (item.grayed ? " (grey)" : "") +
                                                      (item.isDefault ? " (bold)" : ""));
    pressKey(VK_ESCAPE);
    waitGone(menu);
    return texts;
}

// A right click in the middle of a control, which may leave its mouse to the window.
void rightClick(const App& app, int control)
{
    awayFromTips(app);
    RECT rect;
    GetWindowRect(app.item(control), &rect);
    clickScreen(nullptr, {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}, 1, Click::right);
}

std::string crlf(const std::string& lines)
{
    std::string text;
    for (const char c : lines)
        text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return text;
}

TEST(Strokes, RangesOffsetsAndTheSpaceBar)
{
    const PatchFile p = everyPage();
    const std::string patchPath = writePatch(joinPath(testFolder(), "pages.ips"), p);
    App app;
    loadPatch(app, patchPath, p);
    CommandSpy spy(app);
    const int box = scaledToScreen(5);

    // Down from the anchor and up again; the anchor stays where the plain click left it.
    app.clickRow(2, box);
    app.clickRow(6, box, 1, Click::shift);
    EXPECT_EQ(app.checks(), ticks({{2, 6}})) << "rows 2 to 6 take row 6's new state";
    EXPECT_EQ(spy.count(), 5) << "one notification a row that changed";
    app.clickRow(0, box, 1, Click::shift);
    EXPECT_EQ(app.checks(), ticks({{0, 6}}));
    app.clickRow(4, box, 1, Click::shift);
    EXPECT_EQ(app.checks(), ticks({{0, 1}, {5, 6}}));
    // The second click of a Shift+double-click is a plain one, and the new anchor.
    app.clickRow(8, box, 2, Click::shift);
    EXPECT_EQ(app.checks(), ticks({{0, 7}}));
    pressKey(VK_DOWN);
    pressKey(VK_SPACE, false, true);
    app.settle();
    EXPECT_EQ(app.checks(), ticks({{0, 9}})) << "Shift+Space from the anchor, row 8, to the caret";
    holdKey(VK_SPACE, 4);
    app.settle();
    EXPECT_EQ(app.checks(), ticks({{0, 8}})) << "a held Space toggles once";

    // Offsets typed: one a hunk covers, one between hunks, what is left after Backspace,
    // one past the last hunk (the caret stays where "3000" took it), and one far down.
    const struct {
        const wchar_t* keys;
        int caret;
    } typed[] = {{L"3005", 2}, {L"3020", 3}, {L"\b", 0}, {L"30000", 2}, {L"28001", 39}};
    for (const auto& t : typed) {
        if (t.keys[0] != L'\b')
            Sleep(1100);  // stays: a pause of a second starts afresh
        typeText(t.keys);
        app.settle();
        EXPECT_EQ(caretOf(app), t.caret) << narrow(t.keys);
    }
    const HWND list = app.item(IDC_HUNK_LIST);
    const int top = static_cast<int>(send(list, LB_GETTOPINDEX));
    RECT client;
    GetClientRect(list, &client);
    EXPECT_LT(39 - top, client.bottom / static_cast<int>(send(list, LB_GETITEMHEIGHT))) << "row 39 is in view";
    // Resting, the caret's row explains itself as a hover would; a key hides it.
    EXPECT_TRUE(waitUntil([&] { return shownTip(app.pid()) == "Writes 16 bytes at 0x028000."; }, 3000))
        << shownTip(app.pid());
    pressKey(VK_CONTROL);
    EXPECT_TRUE(waitUntil([&] { return shownTip(app.pid()).empty(); }));
    EXPECT_TRUE(app.closeWithEsc());
}

TEST(Strokes, MenusLongPathsAndNames)
{
    const PatchFile p = everyPage();
    const std::string top = testFolder();
    const std::string folder = joinPath(top, "A folder deep in a collection of translations and hacks");
    makeFolder(folder);
    const std::string sourcePath = joinPath(folder, "The Game (Rev 1) - the name to see.bin");
    writeFile(sourcePath, randomBytes(0x30000, 8));
    const std::string patchPath = writePatch(joinPath(top, "pages.ips"), p);
    const std::string destPath = joinPath(top, "out.bin");
    App app;
    CommandSpy spy(app);
    spy.standInForShell(app.main());
    app.chooseFile(IDC_BROWSE_SOURCE, sourcePath);
    loadPatch(app, patchPath, p);
    app.chooseFile(IDC_BROWSE_DEST, destPath);

    // The long path keeps its file name on screen and is whole in the tip.
    const HWND sourceRow = app.item(IDC_SOURCE_PATH);
    RECT rect;
    GetClientRect(sourceRow, &rect);
    const LOGFONTA font = spy.fontOf(sourceRow);
    const Pixels drawn = paint(rect.right, rect.bottom, [&](HDC dc) {
        FillRect(dc, &rect, GetSysColorBrush(COLOR_3DFACE));
        HFONT face = CreateFontIndirectA(&font);
        HGDIOBJ old = SelectObject(dc, face);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        RECT room = rect;
        DrawTextW(dc, widen(sourcePath).c_str(), -1, &room,
                  DT_LEFT | DT_EXPANDTABS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER | DT_PATH_ELLIPSIS);
        SelectObject(dc, old);
        DeleteObject(face);
    });
    EXPECT_TRUE(capture(sourceRow, rect) == drawn) << "the row does not show the path shortened in the middle";
    // The shared tooltip may still hold a row's text from before: the path's replaces it.
    awayFromTips(app);
    std::string tip = app.tipAt(sourceRow, {rect.right / 2, rect.bottom / 2});
    waitUntil([&] { return (tip = shownTip(app.pid())).rfind(sourcePath, 0) == 0; }, 5000);
    EXPECT_EQ(tip.substr(0, tip.find('\n')), sourcePath);

    // What screen readers say.
    {
        Apartment com;
        EXPECT_EQ(Reader(app.item(IDC_HUNK_LIST)).name(CHILDID_SELF), "Hunk list");
        EXPECT_EQ(Reader(app.item(IDC_HUNK_LIST)).help(3), Reader(app.item(IDC_HUNK_LIST)).description(3));
        EXPECT_EQ(Reader(app.item(IDC_BROWSE_PATCH)).name(CHILDID_SELF), "Browse for the patch file");
        EXPECT_EQ(Reader(app.item(IDC_BROWSE_DEST)).name(CHILDID_SELF), "Browse for the destination file");
        const Reader row(sourceRow);
        EXPECT_EQ(row.name(CHILDID_SELF), "Source file");
        EXPECT_EQ(row.value(CHILDID_SELF), sourcePath);
    }

    // The list's menu: the ticks copied, changed, and put back from the clipboard.
    awayFromTips(app);
    app.clickRow(5, scaledToScreen(5));
    app.clickRow(9, scaledToScreen(5), 1, Click::shift);
    const std::vector<int> kept = app.checks();
    EXPECT_EQ(spy.announced(), std::pair(1, std::string("35 of 40 hunks ticked.")));
    rightClick(app, IDC_HUNK_LIST);
    choose(app, spy, "&Copy Ticked Hunks");
    std::string labels;
    for (const ListItem& item : app.list())
        if (item.check == 1)
            labels += (labels.empty() ? "" : "\r\n") + item.label;
    EXPECT_EQ(narrow(clipboardText()), labels);
    clickButton(app.item(IDC_SELECT_NONE));
    send(app.main(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(app.item(IDC_HUNK_LIST)), TRUE);
    pressKey(VK_F10, false, true);
    EXPECT_EQ(itemsShown(app, spy),
              (std::vector<std::string>{"&Copy Ticked Hunks (grey)", "&Tick Hunks from Clipboard", "-", "&Add Patch...",
                                        "-", "&Next Conflict\tF8 (grey)", "&Previous Conflict\tShift+F8 (grey)",
                                        "Keep &Earlier Patches in Conflicts (grey)", "Keep &Later Patches in Conflicts (grey)"}))
        << "nothing to copy";
    pressKey(VK_F10, false, true);
    const HWND menu = waitMenu(app);
    pressKey('T');  // its access key
    waitGone(menu);
    app.settle();
    EXPECT_EQ(app.checks(), kept);
    EXPECT_EQ(spy.announced(), std::pair(3, std::string("35 of 40 hunks ticked."))) << "after Select None too";
    // Lines naming no hunk are counted; with no line naming one, or the clipboard held, no tick changes.
    for (const auto& [clipboard, said] :
         {std::pair{labels + "\r\n 0x999999 - 0x999999", "1 line on the clipboard names no hunk of this patch."},
          {" 0x999999 - 0x999999\r\n", "No line on the clipboard names a hunk of this patch."},
          {"", "Cannot open the clipboard: another program is using it."}}) {
        if (!clipboard.empty())
            setClipboardText(widen(clipboard));
        const ClipboardHeld held(clipboard.empty());
        rightClick(app, IDC_HUNK_LIST);
        choose(app, spy, "&Tick Hunks from Clipboard");
        EXPECT_REPORT(app, app.waitForReport(), said, IconKind::exclamation);
        EXPECT_EQ(app.checks(), kept) << said;
        if (held.held) {  // a copy that cannot be made says so too
            rightClick(app, IDC_BROWSE_SOURCE);
            choose(app, spy, "Copy &Path");
            EXPECT_REPORT(app, app.waitForReport(), said, IconKind::exclamation);
        }
    }

    // A path row's menu, from the mouse on its Browse button.
    rightClick(app, IDC_BROWSE_SOURCE);
    choose(app, spy, "Copy &Path");
    EXPECT_EQ(narrow(clipboardText()), sourcePath);
    rightClick(app, IDC_SOURCE_PATH);
    choose(app, spy, "Copy &Hashes");
    EXPECT_EQ(narrow(clipboardText()), crlf("196608 bytes (0x30000)\n" + toolHashes(sourcePath).lines()));

    // The destination's: Open only once the file is there; from the keyboard on its Browse
    // button too. What they start is recorded, not started.
    rightClick(app, IDC_DEST_PATH);
    EXPECT_EQ(itemsShown(app, spy), (std::vector<std::string>{"&Open (grey) (bold)", "-", "Copy &Path",
                                                               "Copy &Hashes (grey)", "-", "Open Containing &Folder", "-",
                                                               "Correct Chec&ksums (grey)"}));
    EXPECT_REPORT(app, app.patch(), kSuccess, IconKind::exclamation);
    send(app.main(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(app.item(IDC_BROWSE_DEST)), TRUE);
    pressKey(VK_F10, false, true);
    choose(app, spy, "&Open");
    EXPECT_EQ(spy.started().kind, "open");
    EXPECT_EQ(spy.started().verb, "");
    EXPECT_EQ(spy.started().file, destPath);
    rightClick(app, IDC_DEST_GROUP);
    choose(app, spy, "Open Containing &Folder");
    EXPECT_EQ(spy.started().count, 2);
    EXPECT_EQ(spy.started().kind, "select");
    EXPECT_EQ(spy.started().file, destPath);
    EXPECT_TRUE(app.closeWithEsc());
}


// Two patches dropped together, with one overlap of each kind: the same bytes, a later
// patch's filler that undoes a change, and an earlier patch's hunk lower in the list.
TEST(Strokes, PatchesTogether)
{
    const std::string folder = testFolder();
    const Bytes source = randomBytes(0x400, 91);
    PatchFile first, second;
    Bytes h1(16), h2(16), h3(4);
    for (std::size_t i = 0; i < 16; ++i) {
        h1[i] = static_cast<unsigned char>(source[0x100 + i] ^ 0x5A);
        h2[i] = static_cast<unsigned char>(source[0x200 + i] ^ 0xA5);
    }
    for (std::size_t i = 0; i < 4; ++i)
        h3[i] = static_cast<unsigned char>(source[0x300 + i] ^ 0x33);
    first.literal(0x100, h1);
    first.literal(0x200, h2);
    first.literal(0x300, h3);
    Bytes k2(source.begin() + 0x208, source.begin() + 0x218);  // the source's own bytes, as filler
    k2[15] ^= 1;
    Bytes k3{1, 2, static_cast<unsigned char>(h3[0] ^ 0xFF), static_cast<unsigned char>(h3[1] ^ 0xFF)};
    second.literal(0x100, h1);
    second.literal(0x208, k2);
    second.literal(0x2FE, k3);
    const std::string a = writePatch(joinPath(folder, "a fix.ips"), first);
    const std::string b = writePatch(joinPath(folder, "B translation.ips"), second);
    const std::string sourcePath = joinPath(folder, "game.bin"), out = joinPath(folder, "out.bin");
    writeFile(sourcePath, source);
    PatchFile both = first;
    both.records.insert(both.records.end(), second.records.begin(), second.records.end());

    setClipboardText(L"");
    App app;
    CommandSpy spy(app);
    RECT group;
    GetWindowRect(app.item(IDC_PATCH_GROUP), &group);
    POINT at{(group.left + group.right) / 2, (group.top + group.bottom) / 2};
    ScreenToClient(app.main(), &at);
    app.drop(at, {b, a});
    std::vector<ListItem> rows = expectedList(both);
    for (ListItem& row : rows)
        if (row.data >= first.records.size())
            row.label += "  #2";
    ASSERT_TRUE(waitUntil([&] { return app.list().size() == rows.size(); }, 5000));
    expectList(app, rows);
    EXPECT_EQ(app.text(IDC_PATCH_PATH), a) << "the first in name order is the patch row's";
    EXPECT_EQ(app.text(IDC_HUNK_COUNT), "6");
    app.chooseFile(IDC_BROWSE_SOURCE, sourcePath);

    // The hunks' lines, once the source is read.
    const auto tipOf = [&](int row) {
        awayFromTips(app);
        const RECT rect = app.rowRect(row);
        app.tipAt(app.item(IDC_HUNK_LIST), {rect.right / 2, (rect.top + rect.bottom) / 2});
        waitUntil([&] { return shownTip(app.pid()).find("Reading") == std::string::npos; }, 10000);
        return shownTip(app.pid());
    };
    const std::string h2Tip = tipOf(2);
    EXPECT_EQ(h2Tip.rfind("Conflicts with another patch.\nWrites 16 bytes at 0x000200.", 0), 0u) << h2Tip;
    EXPECT_NE(h2Tip.find("lower in the list wins.\nLoses 8 changed bytes to 0x000208 - 0x000217 (#2), lower in the list."),
              std::string::npos) << h2Tip;
    EXPECT_NE(tipOf(3).find("Overwrites 8 changed bytes of 0x000200 - 0x00020F (#1), higher in the list."),
              std::string::npos);
    EXPECT_NE(tipOf(4).find("Loses 2 changed bytes to 0x000300 - 0x000303 (#1), lower in the list."), std::string::npos);
    const std::string k1Tip = tipOf(1);
    EXPECT_NE(k1Tip.find("Overlaps 0x000100 - 0x00010F (#1) without a conflict."), std::string::npos) << k1Tip;
    EXPECT_EQ(k1Tip.find("Conflicts"), std::string::npos);
    awayFromTips(app);
    GetClientRect(app.item(IDC_PATCH_PATH), &group);
    const std::string patchRow = app.tipAt(app.item(IDC_PATCH_PATH), {group.right / 2, group.bottom / 2});
    EXPECT_NE(patchRow.find("\n#2 " + b + ", 3 hunks.\nTicked hunks of different patches conflict in 2 places: 10 "
                            "changed bytes would be lost."),
              std::string::npos)
        << patchRow;

    // The marks: the warning icon at the right end of the rows in a conflict, no other.
    const auto marked = [&](int row) {
        awayFromTips(app);
        RECT end = app.rowRect(row);
        end.left = end.right - (end.bottom - end.top);
        const Pixels pixels = capture(app.item(IDC_HUNK_LIST), end);
        const COLORREF c = GetSysColor(COLOR_WINDOW);
        const std::uint32_t window = GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
        return std::any_of(pixels.rgb.begin(), pixels.rgb.end(), [&](std::uint32_t p) { return p != window; });
    };
    EXPECT_EQ((std::vector<bool>{marked(0), marked(1), marked(2), marked(3), marked(4), marked(5)}),
              (std::vector<bool>{false, false, true, true, true, true}));

    // F8 goes from conflict to conflict; Keep Earlier settles them.
    send(app.main(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(app.item(IDC_HUNK_LIST)), TRUE);
    pressKey(VK_F8);
    EXPECT_TRUE(waitUntil([&] { return caretOf(app) == 2; }, 3000)) << caretOf(app);
    pressKey(VK_F8);
    EXPECT_TRUE(waitUntil([&] { return caretOf(app) == 3; }, 3000)) << caretOf(app);
    // A patch loaded already is not added again.
    rightClick(app, IDC_HUNK_LIST);
    choose(app, spy, "&Add Patch...");
    app.chooseInDialog(b);
    EXPECT_REPORT(app, app.waitForReport(), std::string("B translation.ips is loaded already."), IconKind::exclamation);
    EXPECT_EQ(app.list().size(), rows.size());
    rightClick(app, IDC_HUNK_LIST);
    choose(app, spy, "Keep &Earlier Patches in Conflicts");
    EXPECT_EQ(app.checks(), (std::vector<int>{1, 1, 1, 0, 0, 1}));
    EXPECT_FALSE(marked(2));
    app.chooseFile(IDC_BROWSE_DEST, out);
    EXPECT_REPORT(app, app.patch(), kSuccess, IconKind::exclamation);
    EXPECT_TRUE(sameBytes(readFile(out), expectedImage(source, both, app.checks())));
    EXPECT_TRUE(app.closeWithEsc());
}

}  // namespace
}  // namespace gui
