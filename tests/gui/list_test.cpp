// The hunk check list: what a loaded patch shows, ticking by mouse and keyboard, the
// three selection buttons, and what cancelling or loading another patch does to it.

#include "scenario.h"

namespace gui {
namespace {

// Out of label order on purpose, with a hunk of length 0 and two identical labels.
PatchFile firstPatch()
{
    PatchFile p;
    p.literal(0x200, {1, 2, 3, 4});       // 0
    p.literal(0x100, {5, 6});             // 1
    p.run(0x10, 0, 0xAA);                 // 2: " 0x000010 - 0x00000F"
    p.run(0x300, 16, 0x55);               // 3
    p.literal(0x100, {7, 8});             // 4: same label as 1
    p.literal(0x180, {9});                // 5
    p.literal(0x000, Bytes(8, 0x11));     // 6
    return p;
}

// Labels at the edges of the format, and a size followed by more bytes.
PatchFile secondPatch()
{
    PatchFile p;
    p.literal(0xFFFFF0, Bytes(0x20, 0x42)); // 0: " 0xFFFFF0 - 0x100000F"
    p.run(0x000000, 0, 0);                  // 1: " 0x000000 - 0xFFFFFFFF"
    p.literal(0x454F45, {0x45});            // 2: one below the end marker
    p.targetSize = 0x1234;
    p.tail = {'M', 'O', 'R', 'E'};
    return p;
}

class List : public testing::Test {
protected:
    // Waits for the row's box to show look: repainting follows the change.
    bool shows(App& app, int row, const Pixels& look)
    {
        return waitUntil([&] { return app.checkBoxPixels(row) == look; }, 3000);
    }
    // Waits for the change to land (input goes through the program's queue). On a
    // mismatch the model takes the program's state, so one fault is reported once.
    void expectChecks(App& app, std::vector<int>& model, const char* after)
    {
        waitUntil([&] { return app.checks() == model; }, 3000);
        const std::vector<int> shown = app.checks();
        EXPECT_EQ(shown, model) << "after " << after;
        model = shown;
    }
    void expectChecks(App& app, std::vector<int>&& expected, const char* after) { expectChecks(app, expected, after); }
};

TEST_F(List, ShowsHunksTicksByMouseAndKeyboard)
{
    const std::string folder = testFolder();
    const PatchFile patch = firstPatch();
    const std::string path = writePatch(joinPath(folder, "first.ips"), patch);
    const Bytes patchBytes = readFile(path);

    App app;
    // On an empty list the selection buttons do nothing.
    for (int id : {IDC_SELECT_ALL, IDC_SELECT_NONE, IDC_INVERT}) {
        clickButton(app.item(id));
        app.settle();
    }
    app.expectNoReport();
    EXPECT_TRUE(app.list().empty());
    EXPECT_EQ(app.text(IDC_HUNK_COUNT), "0");

    ASSERT_NO_FATAL_FAILURE(loadPatch(app, path, patch));
    const std::vector<ListItem> items = app.list();
    ASSERT_EQ(items.size(), 7u);
    EXPECT_EQ(items[1].label, " 0x000010 - 0x00000F");

    // Every row starts ticked, and they all look it.
    ASSERT_TRUE(waitUntil([&] { return !app.checkBoxPixels(0).uniform(); })) << "no tick drawn in row 0";
    const Pixels ticked = app.checkBoxPixels(0);
    for (int row = 1; row < 7; ++row)
        EXPECT_TRUE(shows(app, row, ticked)) << "row " << row << " should look ticked";

    std::vector<int> model(7, 1);
    // A click inside the box toggles, and the box shows it.
    app.clickRow(2, 5);
    model[2] = 0;
    expectChecks(app, model, "a click in the box of row 2");
    EXPECT_TRUE(waitUntil([&] { return app.checkBoxPixels(2) != ticked; })) << "row 2 still looks ticked";
    const Pixels unticked = app.checkBoxPixels(2);
    app.clickRow(2, 5);
    model[2] = 1;
    expectChecks(app, model, "a second click in the box of row 2");
    EXPECT_TRUE(shows(app, 2, ticked));

    // The box area is the row's first 13 pixels.
    app.clickRow(3, 12);
    model[3] = 0;
    expectChecks(app, model, "a click on the box area's last pixel");
    EXPECT_TRUE(shows(app, 3, unticked));
    app.clickRow(3, 0);
    model[3] = 1;
    expectChecks(app, model, "a click on the box area's first pixel");
    app.clickRow(4, 13);
    app.settle();  // once more: a toggle the click made would show by now
    expectChecks(app, model, "a click just right of the box area");
    app.clickRow(4, 60);
    app.settle();  // once more: a toggle the click made would show by now
    expectChecks(app, model, "a click on the label");

    // Each click of a double click counts: two toggles, back where it was.
    app.clickRow(5, 6, 2);
    app.settle();  // once more: both toggles of the double click have landed by now
    expectChecks(app, model, "a double click in the box");
    app.clickRow(6, 6, 2);
    app.clickRow(6, 6);
    model[6] = 0;
    expectChecks(app, model, "a double click and a click in the box");
    app.clickRow(5, 60, 2);
    app.settle();  // once more: a toggle the click made would show by now
    expectChecks(app, model, "a double click on the label");

    // Below the last row there is no item to toggle.
    {
        const RECT last = app.rowRect(6);
        RECT client;
        GetClientRect(app.item(IDC_HUNK_LIST), &client);
        ASSERT_LT(last.bottom + 4, client.bottom) << "the list has no room below its rows";
        clickAt(app.item(IDC_HUNK_LIST), POINT{5, last.bottom + 3});
        app.settle();
        app.settle();  // once more: a toggle the click made would show by now
        expectChecks(app, model, "a click in the box column below the last row");
    }

    // The space bar toggles the item at the caret; the click on a label put it there.
    app.clickRow(1, 60);
    EXPECT_EQ(app.focus(), app.item(IDC_HUNK_LIST));
    EXPECT_EQ(send(app.item(IDC_HUNK_LIST), LB_GETCARETINDEX), 1);
    pressKey(VK_SPACE);
    model[1] = 0;
    expectChecks(app, model, "Space on row 1");
    EXPECT_TRUE(shows(app, 1, unticked));
    EXPECT_EQ(send(app.item(IDC_HUNK_LIST), LB_GETCARETINDEX), 1) << "Space moved the caret";
    pressKey(VK_DOWN);
    pressKey(VK_SPACE);
    model[2] = 0;
    expectChecks(app, model, "Down and Space");
    pressKey(VK_SPACE);
    model[2] = 1;
    expectChecks(app, model, "Space again");

    // Selection buttons.
    std::vector<int> pattern = model;
    clickButton(app.item(IDC_INVERT));
    std::vector<int> inverted;
    for (int c : pattern)
        inverted.push_back(1 - c);
    expectChecks(app, inverted, "Invert");
    clickButton(app.item(IDC_INVERT));
    expectChecks(app, pattern, "Invert twice");
    clickButton(app.item(IDC_SELECT_NONE));
    expectChecks(app, std::vector<int>(7, 0), "Select None");
    for (int row = 0; row < 7; ++row)
        EXPECT_TRUE(shows(app, row, unticked)) << "row " << row << " should look unticked";
    clickButton(app.item(IDC_SELECT_ALL));
    expectChecks(app, std::vector<int>(7, 1), "Select All");
    for (int row = 0; row < 7; ++row)
        EXPECT_TRUE(shows(app, row, ticked)) << "row " << row << " should look ticked";
    clickButton(app.item(IDC_INVERT));
    expectChecks(app, std::vector<int>(7, 0), "Invert after Select All");

    // None of it touched the labels, the count, the path, or the patch file.
    std::vector<ListItem> now = app.list();
    for (std::size_t i = 0; i < now.size(); ++i) {
        EXPECT_EQ(now[i].label, items[i].label);
        EXPECT_EQ(now[i].data, items[i].data);
    }
    EXPECT_EQ(app.text(IDC_HUNK_COUNT), "7");
    EXPECT_EQ(app.text(IDC_PATCH_PATH), path);
    app.expectNoReport();
    EXPECT_EQ(readFile(path), patchBytes);
    EXPECT_TRUE(app.closeWithEsc());
}

TEST_F(List, CancelKeepsAndReloadReplaces)
{
    const std::string folder = testFolder();
    const PatchFile first = firstPatch(), second = secondPatch();
    const std::string firstPath = writePatch(joinPath(folder, "first.ips"), first);
    const std::string secondPath = writePatch(joinPath(folder, "second.ips"), second);
    PatchFile empty;
    const std::string emptyPath = writePatch(joinPath(folder, "empty.ips"), empty);

    App app;
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, firstPath, first));
    app.clickRow(0, 5);
    app.clickRow(4, 5);
    std::vector<int> model{0, 1, 1, 1, 0, 1, 1};
    expectChecks(app, model, "unticking rows 0 and 4");

    // Cancel keeps the earlier patch, its path and its ticks.
    app.cancelFile(IDC_BROWSE_PATCH, secondPath);
    app.expectNoReport();
    EXPECT_EQ(app.text(IDC_PATCH_PATH), firstPath);
    EXPECT_EQ(app.text(IDC_HUNK_COUNT), "7");
    expectChecks(app, model, "a cancelled patch dialog");
    EXPECT_EQ(app.list().front().label, expectedList(first).front().label);

    // Another patch drops every hunk of the first and shows its own, all ticked.
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, secondPath, second));
    EXPECT_EQ(app.list()[0].label, " 0x000000 - 0xFFFFFFFF");
    EXPECT_EQ(app.list()[2].label, " 0xFFFFF0 - 0x100000F");

    // A patch with no records is a patch: its path shows, with a count of 0.
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, emptyPath, empty));
    EXPECT_TRUE(app.list().empty());

    // Cancelling the source and destination dialogs chooses nothing.
    app.cancelFile(IDC_BROWSE_SOURCE, firstPath);
    app.cancelFile(IDC_BROWSE_DEST, joinPath(folder, "out.bin"));
    EXPECT_EQ(app.text(IDC_SOURCE_PATH), "");
    EXPECT_EQ(app.text(IDC_DEST_PATH), "");
    EXPECT_FALSE(fileExists(joinPath(folder, "out.bin")));
    EXPECT_TRUE(app.closeWithEsc());
}

}  // namespace
}  // namespace gui
