// The check list as a screen reader reads it: the accessible object the platform hands
// this process for the list gives each item as a check box named by its label and
// checked or not as it is ticked, follows every way of ticking, ticks by its default
// action as a click does, and every tick that changes is announced as an event. What
// the tooltips say of each hunk and file, and the descriptions readers hear.

#include "scenario.h"
#include "screen_reader.h"

#include <oleacc.h>

#include <sstream>
#include <tuple>

namespace gui {
namespace {

// The state changes (or other events) the platform announces for the program's windows,
// as a screen reader hears them: delivered to this thread while it handles its messages.
class StateEvents {
public:
    explicit StateEvents(DWORD pid, DWORD event = EVENT_OBJECT_STATECHANGE)
        : m_hook(SetWinEventHook(event, event, nullptr, &StateEvents::heard, pid, 0, WINEVENT_OUTOFCONTEXT))
    {
        if (!m_hook)
            throw DriverError("cannot listen to the program's events");
        s_heard.clear();
    }
    ~StateEvents() { UnhookWinEvent(m_hook); }
    StateEvents(const StateEvents&) = delete;
    StateEvents& operator=(const StateEvents&) = delete;

    using Event = std::tuple<HWND, LONG, LONG>;  // window, object, child
    // What was announced since the last call, once the announcements have stopped coming.
    std::vector<Event> take()
    {
        std::size_t before = static_cast<std::size_t>(-1);
        while (before != s_heard.size()) {
            before = s_heard.size();
            const DWORD start = GetTickCount();
            while (GetTickCount() - start < 300) {
                MSG msg;
                while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                    DispatchMessageA(&msg);
                Sleep(10);  // stays: only a quiet spell tells that no more announcements come
            }
        }
        return std::exchange(s_heard, {});
    }

private:
    static void CALLBACK heard(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG id, DWORD, DWORD)
    {
        s_heard.emplace_back(window, object, id);
    }

    HWINEVENTHOOK m_hook;
    static std::vector<Event> s_heard;
};

std::vector<StateEvents::Event> StateEvents::s_heard;

// One event for the list's item at each of the positions, in order.
std::vector<StateEvents::Event> itemEvents(HWND list, std::vector<int> positions)
{
    std::vector<StateEvents::Event> out;
    for (int position : positions)
        out.emplace_back(list, OBJID_CLIENT, position + 1);
    return out;
}

PatchFile fivePatch()
{
    PatchFile p;
    p.literal(0x400, {1, 2});
    p.literal(0x010, {3});
    p.run(0x300, 8, 0x55);
    p.literal(0x200, {4, 5, 6});
    p.literal(0x100, Bytes(16, 7));
    return p;
}

PatchFile threePatch()
{
    PatchFile p;
    p.literal(0xABCDEF, {1});
    p.literal(0x000001, {2, 3});
    p.literal(0x123456, Bytes(0x100, 4));
    return p;
}

TEST(Accessible, ItemsAreCheckBoxesThatFollowEveryTick)
{
    const std::string folder = testFolder();
    const PatchFile five = fivePatch(), three = threePatch();
    const std::string fivePath = writePatch(joinPath(folder, "five.ips"), five);
    const std::string threePath = writePatch(joinPath(folder, "three.ips"), three);

    Apartment com;
    App app;
    HWND list = app.item(IDC_HUNK_LIST);
    Reader reader(list);
    EXPECT_EQ(reader.count(), 0) << "items of an empty list";
    EXPECT_EQ(reader.role(CHILDID_SELF), ROLE_SYSTEM_LIST);

    ASSERT_NO_FATAL_FAILURE(loadPatch(app, fivePath, five));
    const std::vector<ListItem> items = app.list();
    ASSERT_EQ(reader.count(), 5);
    for (long id = 1; id <= 5; ++id) {
        SCOPED_TRACE("item " + std::to_string(id));
        EXPECT_EQ(reader.name(id), items[static_cast<std::size_t>(id - 1)].label);
        EXPECT_EQ(reader.role(id), ROLE_SYSTEM_CHECKBUTTON);
        EXPECT_TRUE(reader.state(id) & STATE_SYSTEM_CHECKED);
        EXPECT_EQ(reader.defaultAction(id), "Uncheck");
    }
    EXPECT_EQ(reader.nameResult(-1), E_INVALIDARG) << "a child id below the list's";
    EXPECT_EQ(reader.nameResult(6), E_INVALIDARG) << "a child id past the last item";

    // Each way of ticking: the reader hears of it and reads the new state.
    StateEvents events(app.pid());
    std::vector<int> model(5, 1);
    auto expectTicks = [&](const char* after) {
        waitUntil([&] { return app.checks() == model; });
        EXPECT_EQ(app.checks(), model) << "the list after " << after;
        EXPECT_EQ(reader.checks(), model) << "what a reader hears after " << after;
    };
    app.clickRow(1, 5);
    model[1] = 0;
    expectTicks("a click in the box of row 1");
    EXPECT_EQ(events.take(), itemEvents(list, {1})) << "after a click in the box of row 1";
    EXPECT_EQ(reader.defaultAction(2), "Check");

    app.clickRow(3, 60);
    pressKey(VK_SPACE);
    model[3] = 0;
    expectTicks("Space on row 3");
    EXPECT_EQ(events.take(), itemEvents(list, {3})) << "after Space on row 3";

    clickButton(app.item(IDC_SELECT_ALL));
    model = {1, 1, 1, 1, 1};
    expectTicks("Select All");
    EXPECT_EQ(events.take(), itemEvents(list, {1, 3})) << "Select All announces the ticks it changed";
    clickButton(app.item(IDC_SELECT_ALL));
    app.settle();
    EXPECT_EQ(events.take(), itemEvents(list, {})) << "Select All on a list all ticked changes nothing";

    clickButton(app.item(IDC_SELECT_NONE));
    model = {0, 0, 0, 0, 0};
    expectTicks("Select None");
    EXPECT_EQ(events.take(), itemEvents(list, {0, 1, 2, 3, 4})) << "after Select None";

    app.clickRow(2, 5);
    clickButton(app.item(IDC_INVERT));
    model = {1, 1, 0, 1, 1};
    expectTicks("a click and Invert");
    EXPECT_EQ(events.take(), itemEvents(list, {2, 0, 1, 2, 3, 4})) << "after a click and Invert";

    // The default action ticks as a click does, and the owner hears the same from the list.
    CommandSpy spy(app);
    ASSERT_EQ(reader.defaultAction(3), "Check");
    EXPECT_EQ(reader.doDefaultAction(3), S_OK);
    model[2] = 1;
    expectTicks("the default action of item 3");
    EXPECT_EQ(reader.defaultAction(3), "Uncheck");
    EXPECT_EQ(events.take(), itemEvents(list, {2})) << "after the default action of item 3";
    ASSERT_TRUE(waitUntil([&] { return spy.count() == 1; })) << spy.count() << " notifications to the owner";
    const CommandSpy::Notification told = spy.last();
    EXPECT_EQ(told.target, app.main());
    EXPECT_EQ(LOWORD(told.wParam), IDC_HUNK_LIST);
    EXPECT_EQ(HIWORD(told.wParam), 40) << "the check-change code";
    EXPECT_EQ(reinterpret_cast<HWND>(told.lParam), list);
    EXPECT_EQ(reader.doDefaultAction(3), S_OK);
    model[2] = 0;
    expectTicks("the default action of item 3 again");
    EXPECT_EQ(spy.count(), 2);
    // A click and Space tell the owner as well; the selection buttons do not.
    app.clickRow(0, 5);
    model[0] = 0;
    expectTicks("a click in the box of row 0");
    EXPECT_TRUE(waitUntil([&] { return spy.count() == 3; })) << "a click on a box does not tell the owner";
    clickButton(app.item(IDC_SELECT_ALL));
    model = {1, 1, 1, 1, 1};
    expectTicks("Select All");
    EXPECT_EQ(spy.count(), 3) << "Select All told the owner of a check change";
    EXPECT_EQ(reader.doDefaultAction(9), E_INVALIDARG) << "the default action of no item";

    // While About is up the main window takes no input, a reader's included; reading goes on.
    HWND about = app.openAbout();
    EXPECT_EQ(reader.doDefaultAction(1), E_FAIL) << "the default action while About is up";
    EXPECT_EQ(reader.checks(), model) << "what a reader hears while About is up";
    clickButton(GetDlgItem(about, IDOK));
    waitGone(about);
    EXPECT_EQ(app.checks(), model) << "the default action while About was up ticked";
    EXPECT_EQ(spy.count(), 3);

    // Another patch: the reader finds its items, all ticked.
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, threePath, three));
    const std::vector<ListItem> now = app.list();
    ASSERT_EQ(reader.count(), 3);
    for (long id = 1; id <= 3; ++id)
        EXPECT_EQ(reader.name(id), now[static_cast<std::size_t>(id - 1)].label);
    model = {1, 1, 1};
    expectTicks("loading another patch");
    EXPECT_TRUE(app.closeWithEsc());
}

TEST(Accessible, ALongListAnnouncesTheRowsInView)
{
    // Announcing every item of a long list would keep a listening reader busy for
    // seconds; it speaks of what is in view, and asks for the rest when it gets there.
    PatchFile many;
    for (std::uint32_t i = 0; i < 60; ++i)
        many.literal(i * 16, {1});
    const std::string path = writePatch(joinPath(testFolder(), "many.ips"), many);
    Apartment com;
    App app;
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, path, many));
    HWND list = app.item(IDC_HUNK_LIST);
    const Pixels ticked = app.checkBoxPixels(0);
    app.showRow(30);
    StateEvents events(app.pid());
    clickButton(app.item(IDC_SELECT_NONE));
    ASSERT_TRUE(waitUntil([&] { return app.checks() == std::vector<int>(60, 0); }));
    const int top = static_cast<int>(send(list, LB_GETTOPINDEX));
    const int height = static_cast<int>(send(list, LB_GETITEMHEIGHT, 0));
    RECT client;
    GetClientRect(list, &client);
    std::vector<int> inView;
    for (int row = top; row < 60 && (row - top) * height < client.bottom; ++row)
        inView.push_back(row);
    ASSERT_GT(top, 0) << "the list did not scroll";
    ASSERT_LT(inView.back(), 59) << "the list shows every row";
    EXPECT_EQ(events.take(), itemEvents(list, inView));
    EXPECT_EQ(Reader(list).checks(), std::vector<int>(60, 0)) << "what a reader hears of every row";
    // Rows unticked out of view show unticked once scrolled to, as those in view do.
    ASSERT_TRUE(waitUntil([&] { return app.checkBoxPixels(top) != ticked; })) << "the rows in view still show ticked";
    const Pixels unticked = app.checkBoxPixels(top);
    app.showRow(0);
    EXPECT_TRUE(waitUntil([&] { return app.checkBoxPixels(0) == unticked; })) << "row 0, unticked out of view";
    EXPECT_TRUE(app.closeWithEsc());
}

POINT centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

TEST(Accessible, TooltipsAndDescriptionsExplainThePatch)
{
    const std::string folder = testFolder();
    Bytes source = randomBytes(0x10200, 5);  // 512 past a multiple of 1,024
    for (std::size_t i = 0; i < 6; ++i)
        source[0x100 + i] = static_cast<unsigned char>(i + 1);
    source[0x101FF] = 0xAB;
    PatchFile p;
    p.literal(0x100, {1, 9, 3});
    p.run(0x102, 4, 0xEE);
    p.literal(0x101FF, {0xAB, 0xCD});
    p.targetSize = 0x10200;
    const std::string sourcePath = joinPath(folder, "game.bin");
    writeFile(sourcePath, source);
    const std::string patchPath = writePatch(joinPath(folder, "fix.ips"), p);
    const std::string wins = "\nOverlaps 1 other hunk.\nWhere ticked hunks overlap, the one lower in the list wins.";
    const std::string hunkTexts[] = {
        "Writes 3 bytes at 0x000100." + wins + "\nChanges 1 of 3 bytes of the source.",
        "Writes 4 bytes of 0xEE at 0x000102." + wins + "\nChanges 4 of 4 bytes of the source.",
        "Writes 2 bytes at 0x0101FF.\nCut at the size the patch states (66048 bytes).\n"
        "The source already holds these bytes.",
    };

    Apartment com;
    App app;
    app.chooseFile(IDC_BROWSE_SOURCE, sourcePath);
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, patchPath, p));
    HWND list = app.item(IDC_HUNK_LIST);
    // Upwards, so that a tip, which shows below the mouse, never covers the next row.
    EXPECT_EQ(app.tipAt(list, centre(app.rowRect(2)), hunkTexts[2]), hunkTexts[2]) << "row 2";
    EXPECT_EQ(app.tipAt(list, centre(app.rowRect(0)), hunkTexts[0]), hunkTexts[0]) << "row 0, after row 2";

    const Bytes headerless(source.begin() + 512, source.end());
    const std::string headerlessPath = joinPath(folder, "headerless.bin");
    writeFile(headerlessPath, headerless);
    const std::string sourceText = sourcePath + "\n66048 bytes (0x10200)\n" + toolHashes(sourcePath).lines() +
                                   "\nThe size suggests a 512-byte copier header at the start.\n"
                                   "Without the copier header:\n" +
                                   toolHashes(headerlessPath).lines();
    HWND sourceRow = app.item(IDC_SOURCE_PATH);
    RECT row;
    GetClientRect(sourceRow, &row);
    EXPECT_EQ(app.tipAt(sourceRow, centre(row), sourceText), sourceText) << "the Source row";
    const Bytes patchBytes = readFile(patchPath);
    char size[48];
    std::snprintf(size, sizeof size, "%zu bytes (0x%zX)", patchBytes.size(), patchBytes.size());
    const std::string patchText = patchPath + "\n" + size + "\n" + toolHashes(patchPath).lines() +
                                  "\nStates an output size of 66048 bytes (0x10200)."
                                  "\nThe source already holds the bytes of 1 of 3 hunks.";
    EXPECT_EQ(app.tipAt(app.item(IDC_PATCH_PATH), centre(row), patchText), patchText) << "the Patch row";

    EXPECT_EQ(Reader(list).description(2), hunkTexts[1]) << "what a reader hears of item 2";
    EXPECT_EQ(Reader(list).description(3), "Changes nothing.\n" + hunkTexts[2]) << "a grey row says so first";
    // Another source: a reader on the caret's row is told its description changed, while read and once known.
    StateEvents described(app.pid(), EVENT_OBJECT_DESCRIPTIONCHANGE);
    const int caret = static_cast<int>(send(list, LB_GETCARETINDEX));
    Reader(list).description(caret + 1);
    app.chooseFile(IDC_BROWSE_SOURCE, headerlessPath);
    EXPECT_EQ(described.take(), itemEvents(list, {caret, caret}));
    EXPECT_TRUE(app.closeWithEsc());
}

// Libraries planted beside a copy of the program under names that it or the system asks
// for by name, with Wine told to prefer such copies as Windows does outside its known
// libraries. The control build, which searches as the program once did, loads every one;
// the program loads none, and works: a hover hashes the source, a reader reads its list
// (and is told the count after Select All) and Patch writes the file.
TEST(Accessible, NoPlantedLibraryIsLoaded)
{
    const std::string planted = options().planted;
    std::vector<std::string> names;
    for (const std::string& file : listFolder(planted))
        if (file.size() > 4 && file.compare(file.size() - 4, 4, ".dll") == 0)
            names.push_back(file.substr(0, file.size() - 4));
    ASSERT_FALSE(names.empty());
    PatchFile p;
    p.literal(0x10, {1, 2, 3});
    p.literal(0x02, {4});
    const Bytes source = randomBytes(64, 9);
    const std::string scratch = testFolder();
    for (const bool control : {true, false}) {
        SCOPED_TRACE(control ? "control build" : "program");
        const std::string folder = joinPath(scratch, control ? "control" : "program");
        makeFolder(folder);
        for (const std::string& name : names)
            ASSERT_TRUE(CopyFileA(joinPath(planted, name + ".dll").c_str(), joinPath(folder, name + ".dll").c_str(), FALSE));
        const std::string exe = joinPath(folder, "Velquin.exe");
        ASSERT_TRUE(CopyFileA((control ? joinPath(planted, "velquin_unguarded.exe") : options().exe).c_str(), exe.c_str(),
                              FALSE));
        writeFile(joinPath(folder, "source.bin"), source);
        const std::string patchPath = writePatch(joinPath(folder, "patch.ips"), p);
        {
            Apartment com;
            App app(exe);
            app.chooseFile(IDC_BROWSE_SOURCE, joinPath(folder, "source.bin"));
            ASSERT_NO_FATAL_FAILURE(loadPatch(app, patchPath, p));
            app.chooseFile(IDC_BROWSE_DEST, joinPath(folder, "out.bin"));
            // The Source row's tooltip: the first hash, which asks for bcrypt.
            RECT row;
            GetClientRect(app.item(IDC_SOURCE_PATH), &row);
            const std::string tip = app.tipAt(app.item(IDC_SOURCE_PATH), centre(row));
            EXPECT_EQ(tip.rfind(joinPath(folder, "source.bin") + "\n64 bytes (0x40)\nCRC32 ", 0), 0u) << tip;
            if (!control) {
                EXPECT_NE(tip.find("\nSHA-256 "), std::string::npos) << tip;
            }
            clickButton(app.item(IDC_SELECT_ALL));
            Reader reader(app.item(IDC_HUNK_LIST));
            if (!control) {
                ASSERT_EQ(reader.count(), 2);
                EXPECT_EQ(reader.role(1), ROLE_SYSTEM_CHECKBUTTON);
                EXPECT_EQ(reader.name(2), app.list()[1].label);
                EXPECT_EQ(reader.checks(), (std::vector<int>{1, 1}));
                EXPECT_REPORT(app, app.patch(), kSuccess, IconKind::exclamation);
                EXPECT_TRUE(sameBytes(readFile(joinPath(folder, "out.bin")), expectedImage(source, p, {1, 1})));
            }
            EXPECT_TRUE(app.closeWithEsc());
        }
        std::vector<std::string> loaded;
        for (const std::string& name : names)
            if (fileExists(joinPath(folder, name + ".loaded")))
                loaded.push_back(name);
        if (control)
            EXPECT_EQ(loaded, names) << "a planted name no one asks for proves nothing";
        else
            EXPECT_EQ(loaded, std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace gui
