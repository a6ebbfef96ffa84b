// The main window as it starts, its keyboard handling, closing, the About box, and the
// report caption that follows the executable's name.

#include "scenario.h"

namespace gui {
namespace {

TEST(Start, ShowsNothingChosenAndFocusesPatch)
{
    App app;
    EXPECT_EQ(windowText(app.main()), kMainCaption);
    for (int id : {IDC_SOURCE_PATH, IDC_PATCH_PATH, IDC_DEST_PATH})
        EXPECT_EQ(app.text(id), "") << "path text " << id << " right after start";
    EXPECT_EQ(app.text(IDC_HUNK_COUNT), "0");
    EXPECT_TRUE(app.list().empty());
    EXPECT_EQ(app.focus(), app.item(IDOK)) << "the focus starts on the Patch button";
    EXPECT_EQ(windowText(app.item(IDOK)), "Patch");

    // The controls are the template's, in its order, which is the tab order.
    std::vector<int> ids;
    for (HWND w : children(app.main()))
        if (IsWindowVisible(w))
            ids.push_back(GetDlgCtrlID(w) == 0xFFFF ? -1 : GetDlgCtrlID(w));
    EXPECT_EQ(ids, (std::vector<int>{1, 1002, 1001, 1003, 1005, 1004, 1006, 1000, 1007, 1008, 1013, 1014, 1015, 1016,
                                     1017, -1, 1020, 1022}));

    const LONG style = GetWindowLongA(app.main(), GWL_STYLE);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0) << std::hex << style;
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(GetWindowLongA(app.main(), GWL_EXSTYLE) & WS_EX_APPWINDOW);

    // Rows are as high as the list font's text, and at least the 11-pixel box plus one.
    LOGFONTA font{};
    HDC screen = GetDC(nullptr);
    font.lfHeight = -(GetDeviceCaps(screen, LOGPIXELSY) * 100 / 720);
    lstrcpyA(font.lfFaceName, "Lucida Console");
    HFONT list = CreateFontIndirectA(&font);
    HGDIOBJ old = SelectObject(screen, list);
    TEXTMETRICA metrics{};
    GetTextMetricsA(screen, &metrics);
    SelectObject(screen, old);
    DeleteObject(list);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(send(app.item(IDC_HUNK_LIST), LB_GETITEMHEIGHT, 0), std::max<LONG>(metrics.tmHeight, 12))
        << "row height for the Lucida Console 10 point list font";

    EXPECT_TRUE(app.closeWithEsc()) << "Esc ends the program";
}

TEST(Start, TabOrderAndEnter)
{
    App app;
    bringToFront(app.main());
    for (int id : {1001, 1005, 1006, 1013, 1015, 1016, 1017, 1}) {
        pressKey(VK_TAB);
        app.settle();
        EXPECT_EQ(GetDlgCtrlID(app.focus()), id) << "Tab order";
    }
    pressKey(VK_TAB, false, true);
    app.settle();
    EXPECT_EQ(GetDlgCtrlID(app.focus()), 1017) << "Shift+Tab goes back";
    pressKey(VK_TAB);
    app.settle();
    ASSERT_EQ(GetDlgCtrlID(app.focus()), 1);

    // Enter on the Patch button runs Patch.
    pressKey(VK_RETURN);
    EXPECT_REPORT(app, app.waitForReport(), kNeedSource, IconKind::question);

    // Enter on a Browse button presses that button instead.
    bringToFront(app.main());
    pressKey(VK_TAB);
    app.settle();
    ASSERT_EQ(GetDlgCtrlID(app.focus()), 1001);
    pressKey(VK_RETURN);
    HWND dialog = app.waitFileDialog();
    clickButton(GetDlgItem(dialog, IDCANCEL));
    waitGone(dialog);
    app.expectNoReport();
    EXPECT_EQ(app.text(IDC_SOURCE_PATH), "") << "a cancelled dialog changes nothing";

    EXPECT_TRUE(app.closeWithEsc());
}

TEST(Start, CloseCommandEndsProgram)
{
    App app;
    PostMessageA(app.main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(app.waitExit(10000)) << "Close from the system menu ends the program";
}

TEST(Help, F1AloneExplainsTheWindow)
{
    App app;
    bringToFront(app.main());
    pressKey(VK_F1, false, true);  // Shift+F1 is not Help
    app.settle();
    app.expectNoReport();
    pressKey(VK_F1);
    const Report help = app.waitForReport();
    EXPECT_EQ(help.caption, app.reportCaption);
    EXPECT_NE(help.text.find("press Patch"), std::string::npos) << help.text;
    EXPECT_EQ(help.icon, IconKind::exclamation);
    EXPECT_TRUE(help.ownerDisabled);
    EXPECT_TRUE(app.closeWithEsc());
}

std::vector<std::string> staticTexts(HWND dialog)
{
    std::vector<std::string> texts;
    for (HWND w : children(dialog))
        if (_stricmp(className(w).c_str(), "Static") == 0 && (GetWindowLongA(w, GWL_STYLE) & SS_TYPEMASK) <= SS_RIGHT)
            texts.push_back(windowText(w));
    return texts;
}

TEST(About, OpensFromSystemMenuAndClosesEveryWay)
{
    App app;

    HWND about = app.openAbout();
    EXPECT_EQ(GetWindow(about, GW_OWNER), app.main());
    EXPECT_FALSE(IsWindowEnabled(app.main())) << "the main window takes no input while About is up";
    const std::vector<std::string> texts = staticTexts(about);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Velquin Version 1.0");
    EXPECT_FALSE(texts[1].empty()) << "the maker's notice";
    HWND ok = GetDlgItem(about, IDOK);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(windowText(ok), "OK");
    HWND logo = nullptr;
    for (HWND w : children(about))
        if ((GetWindowLongA(w, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP)
            logo = w;
    ASSERT_NE(logo, nullptr) << "the logo";
    EXPECT_NE(send(logo, STM_GETIMAGE, IMAGE_BITMAP), 0) << "the logo shows a bitmap";
    clickButton(ok);
    waitGone(about);
    EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(app.main()) != FALSE; }));

    // The command's low four bits are the system's own and do not matter.
    about = app.openAbout(0x0010 | 0x3);
    bringToFront(about);
    pressKey(VK_ESCAPE);
    waitGone(about);

    // Through the real system menu: Alt+Space, then Up to its last entry, then Enter.
    bringToFront(app.main());
    pressKey(VK_SPACE, true);
    findWindow(app.pid(), "#32768", nullptr, 5000);
    pressKey(VK_UP);
    pressKey(VK_RETURN);
    about = findWindow(app.pid(), "#32770", kAboutCaption, 5000);
    PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0);
    waitGone(about);

    ASSERT_TRUE(IsWindow(app.main())) << "closing About leaves the main window open";
    app.expectNoReport();
    EXPECT_TRUE(app.closeWithEsc());
}

TEST(Caption, FollowsTheExecutableName)
{
    const std::string folder = testFolder();
    const std::string copy = joinPath(folder, kRenamedExe);
    ASSERT_TRUE(CopyFileA(options().exe.c_str(), copy.c_str(), FALSE));

    App app(copy);
    ASSERT_EQ(app.reportCaption, "Quin.Tool ゲーム");
    EXPECT_EQ(windowText(app.main()), kMainCaption) << "the window keeps its own caption";
    EXPECT_REPORT(app, app.patch(), kNeedSource, IconKind::question);
    HWND about = app.openAbout();
    EXPECT_EQ(windowText(about), kAboutCaption);
    clickButton(GetDlgItem(about, IDOK));
    waitGone(about);
    EXPECT_TRUE(app.closeWithEsc());
}

}  // namespace
}  // namespace gui
