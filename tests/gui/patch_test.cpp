// Patch writes the destination: checked byte for byte against the driver's own model.

#include "scenario.h"

#include <algorithm>

namespace gui {
namespace {

struct Files {
    std::string folder, source, patch, destination;
    Bytes sourceBytes, patchBytes;

    Files(const Bytes& sourceContents, const PatchFile& p)
        : folder(testFolder()),
          source(joinPath(folder, "source.bin")),
          patch(joinPath(folder, "patch.ips")),
          destination(joinPath(folder, "patched.bin")),
          sourceBytes(sourceContents),
          patchBytes(p.encode())
    {
        writeFile(source, sourceBytes);
        writeFile(patch, patchBytes);
    }
    // The source and the patch are only ever read.
    void expectInputsUnchanged() const
    {
        EXPECT_TRUE(sameBytes(readFile(source), sourceBytes)) << "the source changed";
        EXPECT_TRUE(sameBytes(readFile(patch), patchBytes)) << "the patch changed";
    }
};

// Source, patch and destination through their Browse dialogs, as a user picks them.
void chooseFiles(App& app, const Files& f, const PatchFile& p)
{
    app.chooseFile(IDC_BROWSE_SOURCE, f.source);
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, f.patch, p));
    app.chooseFile(IDC_BROWSE_DEST, f.destination);
    EXPECT_EQ(app.text(IDC_SOURCE_PATH), f.source);
    EXPECT_EQ(app.text(IDC_DEST_PATH), f.destination);
}

void expectPatched(App& app, const Files& f, const PatchFile& p, const std::vector<int>& ticks, Report report)
{
    EXPECT_REPORT(app, report, kSuccess, IconKind::exclamation);
    EXPECT_EQ(app.checks(), ticks) << "Patch changed the ticks";
    EXPECT_TRUE(sameBytes(readFile(f.destination), expectedImage(f.sourceBytes, p, ticks)));
    f.expectInputsUnchanged();
}

TEST(Patch, WritesTickedHunksInListOrder)
{
    PatchFile p;
    p.literal(0x800, randomBytes(64, 2));   // 0
    p.literal(0x100, randomBytes(32, 3));   // 1: 0x100-0x11F
    p.run(0x110, 64, 0xEE);                 // 2: overlaps 1, lower in the list, wins
    p.literal(0x100, randomBytes(8, 4));    // 3: same offset as 1, shorter: above it, loses
    p.literal(0x1000, randomBytes(16, 5));  // 4: starts at the source's end
    p.literal(0x1100, randomBytes(16, 6));  // 5: past it, leaving a gap
    p.run(0x50, 0, 0x77);                   // 6: length 0
    p.literal(0x900, randomBytes(12, 7));   // 7
    p.literal(0x900, randomBytes(12, 8));   // 8: same label as 7, later in the file
    p.literal(0x20, randomBytes(4, 9));     // 9
    const Files f(randomBytes(0x1000, 1), p);

    App app;
    ASSERT_NO_FATAL_FAILURE(chooseFiles(app, f, p));
    EXPECT_FALSE(fileExists(f.destination)) << "choosing the destination writes nothing";

    // Untick the hunk that loses its overlap and the one past the end.
    std::vector<int> ticks(10, 1);
    for (std::uint32_t hunk : {3u, 5u}) {
        const int row = positionOf(app, hunk);
        app.clickRow(row, 5);
        ticks[row] = 0;
    }
    ASSERT_TRUE(waitUntil([&] { return app.checks() == ticks; })) << "the clicks did not untick";
    expectPatched(app, f, p, ticks, app.patch());
    EXPECT_EQ(readFile(f.destination).size(), 0x1010u) << "grown to hold hunk 4";

    // Enter with the focus on the list runs Patch too.
    clickButton(app.item(IDC_INVERT));
    for (int& t : ticks)
        t = 1 - t;
    ASSERT_TRUE(waitUntil([&] { return app.checks() == ticks; }));
    app.clickRow(0, 60);
    ASSERT_EQ(app.focus(), app.item(IDC_HUNK_LIST));
    pressKey(VK_RETURN);
    expectPatched(app, f, p, ticks, app.waitForReport());
    EXPECT_EQ(readFile(f.destination).size(), 0x1110u);

    // Nothing ticked: a copy of the source, and the longer old destination is gone.
    clickButton(app.item(IDC_SELECT_NONE));
    std::fill(ticks.begin(), ticks.end(), 0);
    ASSERT_TRUE(waitUntil([&] { return app.checks() == ticks; }));
    expectPatched(app, f, p, ticks, app.patch());
    EXPECT_TRUE(sameBytes(readFile(f.destination), f.sourceBytes));

    // Everything ticked, twice in a row.
    clickButton(app.item(IDC_SELECT_ALL));
    std::fill(ticks.begin(), ticks.end(), 1);
    ASSERT_TRUE(waitUntil([&] { return app.checks() == ticks; }));
    expectPatched(app, f, p, ticks, app.patch());
    expectPatched(app, f, p, ticks, app.patch());

    EXPECT_EQ(listFolder(f.folder), (std::vector<std::string>{"patch.ips", "patched.bin", "source.bin"}))
        << "no other file may be left behind";
    EXPECT_TRUE(app.closeWithEsc());
}

// Replacing a destination keeps what it was besides its bytes, and a file left beside it
// by a run that ended half way neither stops the save nor is touched.
TEST(Patch, ReplacedDestinationStaysHiddenAndStaleFilesAreLeftAlone)
{
    PatchFile p;
    p.literal(0x20, randomBytes(40, 50));
    p.run(0x300, 100, 0x5A);
    const Files f(randomBytes(0x400, 51), p);
    writeFile(f.destination, randomBytes(0x900, 52));
    ASSERT_TRUE(SetFileAttributesA(f.destination.c_str(), FILE_ATTRIBUTE_HIDDEN));
    const std::string stale = f.destination + ".~vq0";
    const Bytes staleBytes = randomBytes(0x80, 53);
    writeFile(stale, staleBytes);

    App app;
    app.chooseFile(IDC_BROWSE_SOURCE, f.source);
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, f.patch, p));
    app.chooseExistingDestination(f.destination);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        expectPatched(app, f, p, {1, 1}, app.patch());
        EXPECT_EQ(GetFileAttributesA(f.destination.c_str()) & FILE_ATTRIBUTE_HIDDEN, DWORD(FILE_ATTRIBUTE_HIDDEN))
            << "the destination was hidden and is no longer";
        EXPECT_TRUE(sameBytes(readFile(stale), staleBytes)) << "the stale file changed";
        EXPECT_EQ(listFolder(f.folder),
                  (std::vector<std::string>{"patch.ips", "patched.bin", "patched.bin.~vq0", "source.bin"}));
    }
    SetFileAttributesA(f.destination.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(app.closeWithEsc());
}

TEST(Patch, TargetSizePadsAndCuts)
{
    const Bytes source = randomBytes(3000, 11);

    PatchFile pad;  // larger than the source: zero bytes after it
    pad.literal(100, randomBytes(50, 12));
    pad.literal(4990, randomBytes(20, 13));  // cut at the stated size
    pad.literal(6000, randomBytes(10, 14));  // wholly past it
    pad.targetSize = 5000;

    PatchFile cut;  // smaller than the source
    cut.literal(500, randomBytes(100, 15));
    cut.run(990, 30, 0xCC);
    cut.literal(2000, randomBytes(5, 16));
    cut.targetSize = 1000;
    cut.tail = {'E', 'X', 'T', 'R', 'A'};  // bytes after the size are not read

    PatchFile zeroSize;  // three zero bytes state no size: the file grows instead
    zeroSize.literal(3100, randomBytes(10, 17));
    zeroSize.tail = {0, 0, 0};

    PatchFile partialSize;  // two bytes after the marker are no size
    partialSize.literal(2990, randomBytes(20, 18));
    partialSize.tail = {0x00, 0x10};

    const Files f(source, pad);
    // A destination that exists already: the save dialog asks, nothing is written yet.
    const Bytes old = randomBytes(9000, 19);
    writeFile(f.destination, old);

    App app;
    app.chooseFile(IDC_BROWSE_SOURCE, f.source);
    app.chooseExistingDestination(f.destination);
    EXPECT_EQ(app.text(IDC_DEST_PATH), f.destination);
    EXPECT_TRUE(sameBytes(readFile(f.destination), old));

    ASSERT_NO_FATAL_FAILURE(loadPatch(app, f.patch, pad));
    expectPatched(app, f, pad, {1, 1, 1}, app.patch());
    EXPECT_EQ(readFile(f.destination).size(), 5000u);
    clickButton(app.item(IDC_SELECT_NONE));
    ASSERT_TRUE(waitUntil([&] { return app.checks() == std::vector<int>{0, 0, 0}; }));
    expectPatched(app, f, pad, {0, 0, 0}, app.patch());

    int n = 0;
    for (const PatchFile* p : {&cut, &zeroSize, &partialSize}) {
        SCOPED_TRACE("patch " + std::to_string(n));
        const std::string path = writePatch(joinPath(f.folder, "size" + std::to_string(n++) + ".ips"), *p);
        ASSERT_NO_FATAL_FAILURE(loadPatch(app, path, *p));
        Files inputs = f;
        inputs.patch = path;
        inputs.patchBytes = p->encode();
        expectPatched(app, inputs, *p, std::vector<int>(p->records.size(), 1), app.patch());
    }
    EXPECT_EQ(readFile(f.destination).size(), 3010u);

    // A hunk that ends past offset 0xFFFFFF grows the file beyond 16 MiB.
    PatchFile distant;
    distant.literal(0xFFFFF0, randomBytes(0x20, 20));
    const std::string farPath = writePatch(joinPath(f.folder, "far.ips"), distant);
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, farPath, distant));
    EXPECT_EQ(app.list().at(0).label, " 0xFFFFF0 - 0x100000F");
    Files farInputs = f;
    farInputs.patch = farPath;
    farInputs.patchBytes = distant.encode();
    expectPatched(app, farInputs, distant, {1}, app.patch());
    EXPECT_EQ(readFile(f.destination).size(), 0x1000010u);
    EXPECT_TRUE(app.closeWithEsc());
}

TEST(Patch, EmptySourceAndAccentedPaths)
{
    // A folder with spaces, an ampersand and accents.
    PatchFile p;
    p.literal(0x10, randomBytes(5, 40));
    p.run(0x30, 0, 0x11);
    Files f(Bytes{}, p);
    const std::string folder = joinPath(f.folder, "Spiéle & Übersetzungen");
    makeFolder(folder);
    for (std::string* path : {&f.source, &f.patch, &f.destination})
        *path = joinPath(folder, path->substr(path->find_last_of('\\') + 1));
    writeFile(f.source, f.sourceBytes);
    writeFile(f.patch, f.patchBytes);

    App app;
    ASSERT_NO_FATAL_FAILURE(chooseFiles(app, f, p));
    // An empty source grows to hold the hunk; with nothing ticked the output is empty.
    expectPatched(app, f, p, {1, 1}, app.patch());
    EXPECT_EQ(readFile(f.destination).size(), 0x15u);
    clickButton(app.item(IDC_SELECT_NONE));
    ASSERT_TRUE(waitUntil([&] { return app.checks() == std::vector<int>{0, 0}; }));
    expectPatched(app, f, p, {0, 0}, app.patch());
    EXPECT_TRUE(readFile(f.destination).empty());
    EXPECT_TRUE(app.closeWithEsc());
}

TEST(Patch, ManyHunksByKeyboard)
{
    // Records in no order, literal and run, some past the source's end.
    PatchFile p;
    std::uint32_t x = 12345;
    auto next = [&] { return x = x * 1103515245u + 12345u, (x >> 8) & 0xFFFFFF; };
    for (int i = 0; i < 1500; ++i) {
        const std::uint32_t offset = next() % 0x12000;
        const std::uint16_t length = static_cast<std::uint16_t>(1 + next() % 64);
        if (i % 7 == 0)
            p.run(offset, i % 49 == 0 ? 0 : length, static_cast<std::uint8_t>(next()));
        else
            p.literal(offset, randomBytes(length, static_cast<std::uint32_t>(i)));
    }
    const Files f(randomBytes(0x10000, 30), p);

    App app;
    app.chooseFile(IDC_BROWSE_SOURCE, f.source);
    app.chooseFile(IDC_BROWSE_DEST, f.destination);
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, f.patch, p));
    const int count = static_cast<int>(p.records.size());
    std::vector<int> ticks(count, 1);

    // Keys move the caret through the whole list; Space toggles where it is.
    HWND list = app.item(IDC_HUNK_LIST);
    app.clickRow(0, 60);
    ASSERT_EQ(app.focus(), list);
    auto toggleAtCaret = [&](WORD key, int expectedCaret) {
        pressKey(key);
        ASSERT_TRUE(waitUntil([&] { return send(list, LB_GETCARETINDEX) == expectedCaret; }))
            << "caret at " << send(list, LB_GETCARETINDEX) << ", expected " << expectedCaret;
        pressKey(VK_SPACE);
        ticks[expectedCaret] = 1 - ticks[expectedCaret];
        ASSERT_TRUE(waitUntil([&] { return app.check(expectedCaret) == ticks[expectedCaret]; }))
            << "Space did not toggle item " << expectedCaret;
    };
    toggleAtCaret(VK_END, count - 1);
    toggleAtCaret(VK_UP, count - 2);
    toggleAtCaret(VK_HOME, 0);
    toggleAtCaret(VK_DOWN, 1);
    clickButton(app.item(IDC_INVERT));
    for (int& t : ticks)
        t = 1 - t;
    ASSERT_TRUE(waitUntil([&] { return app.checks() == ticks; }));
    EXPECT_EQ(std::count(ticks.begin(), ticks.end(), 1), 4);
    expectPatched(app, f, p, ticks, app.patch());

    clickButton(app.item(IDC_INVERT));
    for (int& t : ticks)
        t = 1 - t;
    ASSERT_TRUE(waitUntil([&] { return app.checks() == ticks; }));
    expectPatched(app, f, p, ticks, app.patch());
    EXPECT_TRUE(app.closeWithEsc());
}

}  // namespace
}  // namespace gui
