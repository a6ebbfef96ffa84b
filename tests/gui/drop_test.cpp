// Files dragged from a file manager and dropped on the window: under Wine an X drag and
// drop (XDND) becomes the platform's own drop.

#include "scenario.h"

namespace gui {
namespace {

TEST(Drop, FilesDroppedOnTheWindow)
{
    const std::string folder = testFolder();
    PatchFile first, second;
    first.literal(0x10, randomBytes(8, 80));
    first.run(0x40, 16, 0xAA);
    second.literal(0x20, randomBytes(6, 81));
    second.literal(0x1F0, randomBytes(32, 82));  // grows the source
    const std::string patch = writePatch(joinPath(folder, "Перевод.ips"), first);
    const std::string other = writePatch(joinPath(folder, "OTHER.IPS"), second);
    const std::string damaged = joinPath(folder, "damaged.ips");
    writeFile(damaged, Bytes{'P', 'A', 'T', 'C', 'H', 0, 0x10});
    const std::string source = joinPath(folder, "game.bin"), destination = joinPath(folder, "out.bin");
    const Bytes sourceBytes = randomBytes(0x200, 83);
    writeFile(source, sourceBytes);
    writeFile(destination, Bytes{1, 2, 3});

    App app;
    // A point inside a control's box, in the main window's client area.
    auto on = [&](int id, int fromLeft = -1) {
        RECT r;
        GetWindowRect(app.item(id), &r);
        POINT p{fromLeft < 0 ? (r.left + r.right) / 2 : r.left + fromLeft, (r.top + r.bottom) / 2};
        ScreenToClient(app.main(), &p);
        return p;
    };
    auto expectShown = [&](const std::string& patchPath, const PatchFile* loaded) {
        EXPECT_EQ(app.text(IDC_PATCH_PATH), patchPath);
        EXPECT_EQ(app.text(IDC_HUNK_COUNT), std::to_string(loaded ? loaded->records.size() : 0));
        expectList(app, loaded ? expectedList(*loaded) : std::vector<ListItem>{});
    };

    app.drop(on(IDC_PATCH_GROUP), {patch});
    app.expectNoReport();
    expectShown(patch, &first);
    app.drop(on(IDC_SOURCE_GROUP), {source});
    EXPECT_EQ(app.text(IDC_SOURCE_PATH), source);

    // An existing destination gets the save dialog's question.
    for (const int answer : {IDNO, IDYES}) {
        app.drop(on(IDC_DEST_PATH), {destination});
        EXPECT_REPORT(app, app.waitForReport(10000, answer), destination + " already exists.\nDo you want to replace it?",
                      IconKind::exclamation);
        EXPECT_EQ(app.text(IDC_DEST_PATH), answer == IDYES ? destination : "");
    }
    app.drop(on(IDC_PATCH_GROUP), {damaged});
    EXPECT_REPORT(app, app.waitForReport(), kNotIps, IconKind::stop);
    expectShown("", nullptr);
    // Patches dropped together load together, the first in name order as the patch.
    app.drop(on(IDC_PATCH_GROUP), {patch, other});
    app.expectNoReport();
    EXPECT_EQ(app.text(IDC_PATCH_PATH), other);
    EXPECT_EQ(app.text(IDC_HUNK_COUNT), "4");
    app.drop(on(IDC_HUNK_LIST), {other});
    expectShown(other, &second);

    HWND about = app.openAbout();
    app.drop(on(IDC_PATCH_GROUP, 4), {patch});
    clickButton(GetDlgItem(about, IDOK));
    waitGone(about);
    app.expectNoReport();
    expectShown(other, &second);

    EXPECT_REPORT(app, app.patch(), kSuccess, IconKind::exclamation);
    EXPECT_TRUE(sameBytes(readFile(destination), expectedImage(sourceBytes, second, {1, 1})));
    EXPECT_TRUE(sameBytes(readFile(source), sourceBytes)) << "the source changed";
    EXPECT_TRUE(app.closeWithEsc());
}

}  // namespace
}  // namespace gui
