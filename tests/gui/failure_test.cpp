// Patches that do not load, and every check Patch makes before it writes, in order.
// A failure always ends in its report and changes no file.

#include "scenario.h"

#include <memory>

namespace gui {
namespace {

PatchFile goodPatch()
{
    PatchFile p;
    p.literal(0x40, randomBytes(16, 21));
    p.run(0x10, 8, 0x99);
    p.literal(0x80, randomBytes(3, 22));
    return p;
}

struct BadPatch {
    const char* name;
    Bytes bytes;
    bool held;  // held open by another program: cannot be opened at all
    const char* report;
};

Bytes truncated(const PatchFile& p, std::size_t drop)
{
    Bytes b = p.encode();
    b.resize(b.size() - drop);
    return b;
}

TEST(LoadFailure, ReportsAndEmptiesTheList)
{
    const std::string folder = testFolder();
    const PatchFile good = goodPatch();
    const std::string goodPath = writePatch(joinPath(folder, "good.ips"), good);
    const Bytes goodBytes = good.encode();
    const std::size_t end = 3;  // "EOF"

    std::vector<BadPatch> cases{
        {"held.ips", goodBytes, true, kCannotReadPatch},
        {"text.ips", Bytes{'H', 'e', 'l', 'l', 'o', ',', ' ', 'I', 'P', 'S', '?', '\n'}, false, kNotIps},
        {"lower.ips", Bytes{'p', 'a', 't', 'c', 'h', 'E', 'O', 'F'}, false, kNotIps},
        {"short.ips", Bytes{'P', 'A', 'T', 'C'}, false, kNotIps},
        {"nothing.ips", Bytes{}, false, kNotIps},
        {"noeof.ips", truncated(good, end), false, kNotIps},
        {"cutdata.ips", truncated(good, end + 2), false, kNotIps},
        {"cutoffset.ips", [] { Bytes b{'P', 'A', 'T', 'C', 'H', 0, 0x10}; return b; }(), false, kNotIps},
        {"cutrun.ips", [] { Bytes b{'P', 'A', 'T', 'C', 'H', 0, 0, 0x10, 0, 0, 0, 8}; return b; }(), false, kNotIps},
    };
    for (const BadPatch& c : cases)
        writeFile(joinPath(folder, c.name), c.bytes);

    App app;
    for (const BadPatch& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(loadPatch(app, goodPath, good));
        const std::string path = joinPath(folder, c.name);
        {
            std::unique_ptr<HeldFile> hold(c.held ? new HeldFile(path) : nullptr);
            app.chooseFile(IDC_BROWSE_PATCH, path);
            EXPECT_REPORT(app, app.waitForReport(), c.report, IconKind::stop);
        }
        EXPECT_EQ(app.text(IDC_PATCH_PATH), "") << "a failed load clears the path";
        EXPECT_EQ(app.text(IDC_HUNK_COUNT), "0");
        EXPECT_TRUE(app.list().empty()) << "a failed load empties the list";
        EXPECT_TRUE(sameBytes(readFile(path), c.bytes)) << "the patch file changed";
    }
    // Patch has nothing to apply after a failed load.
    EXPECT_REPORT(app, app.patch(), kNeedSource, IconKind::question);
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, goodPath, good));
    EXPECT_TRUE(app.closeWithEsc());
}

// A read error while a patch loads escapes the command and is reported as such; the
// window then shows no path and a count of 0, as the emptied list holds nothing.
TEST(LoadFailure, ReadErrorLeavesNoPathAndNoCount)
{
    const std::string folder = testFolder();
    const PatchFile good = goodPatch();
    const std::string goodPath = writePatch(joinPath(folder, "good.ips"), good);
    const std::string unreadable = options().unreadable;
    ASSERT_TRUE(!unreadable.empty() && fileExists(unreadable)) << "no file that fails its reads";

    App app;
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, goodPath, good));
    app.chooseFile(IDC_BROWSE_PATCH, unreadable);
    EXPECT_REPORT(app, app.waitForReport(), "A hardware I/O error was reported while accessing an unnamed file.",
                  IconKind::stop);
    EXPECT_EQ(app.text(IDC_PATCH_PATH), "");
    EXPECT_EQ(app.text(IDC_HUNK_COUNT), "0");
    EXPECT_TRUE(app.list().empty());
    app.expectNoReport();
    // Nothing of the earlier patch is left to apply.
    EXPECT_REPORT(app, app.patch(), kNeedSource, IconKind::question);
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, goodPath, good));
    EXPECT_TRUE(app.closeWithEsc());
}

TEST(PatchChecks, SourceComesFirst)
{
    const std::string folder = testFolder();
    const PatchFile good = goodPatch();
    const std::string patch = writePatch(joinPath(folder, "good.ips"), good);

    App app;
    EXPECT_REPORT(app, app.patch(), kNeedSource, IconKind::question);
    EXPECT_TRUE(IsWindowVisible(app.main())) << "the window stays open";
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, patch, good));
    EXPECT_REPORT(app, app.patch(), kNeedSource, IconKind::question);
    app.chooseFile(IDC_BROWSE_DEST, joinPath(folder, "out.bin"));
    EXPECT_REPORT(app, app.patch(), kNeedSource, IconKind::question);
    EXPECT_EQ(listFolder(folder), std::vector<std::string>{"good.ips"});
    EXPECT_TRUE(app.closeWithEsc());
}

TEST(PatchChecks, InOrderAndChangeNoFile)
{
    const std::string folder = testFolder();
    const std::string outFolder = joinPath(folder, "out");
    makeFolder(outFolder);
    const Bytes sourceBytes = randomBytes(0x200, 23);
    const std::string source = joinPath(folder, "source.bin");
    writeFile(source, sourceBytes);
    const PatchFile good = goodPatch();
    const std::string patch = writePatch(joinPath(folder, "good.ips"), good);
    PatchFile none;
    const std::string empty = writePatch(joinPath(folder, "empty.ips"), none);
    const std::string destination = joinPath(outFolder, "patched.bin");
    const std::vector<std::string> inputs{"empty.ips", "good.ips", "out", "source.bin"};
    auto noFileChanged = [&] {
        EXPECT_TRUE(sameBytes(readFile(source), sourceBytes)) << "the source changed";
        EXPECT_EQ(listFolder(folder), inputs);
    };

    App app;
    app.chooseFile(IDC_BROWSE_SOURCE, source);
    EXPECT_REPORT(app, app.patch(), kNeedPatch, IconKind::question);
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, empty, none));
    // A patch without hunks leaves nothing to apply.
    EXPECT_REPORT(app, app.patch(), kNeedPatch, IconKind::question);
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, patch, good));
    EXPECT_REPORT(app, app.patch(), kNeedDestination, IconKind::question);

    // The source as the destination, by its own name and in other letters.
    app.chooseExistingDestination(source);
    EXPECT_REPORT(app, app.patch(), kSameFile, IconKind::stop);
    noFileChanged();
    const std::string shouted = folder + "\\" + upper("source.bin");
    app.chooseExistingDestination(shouted);
    ASSERT_NE(app.text(IDC_DEST_PATH), source) << "the dialog gave back the same letters";
    EXPECT_REPORT(app, app.patch(), kSameFile, IconKind::stop);
    noFileChanged();

    // A source that another program holds, or that has gone.
    app.chooseFile(IDC_BROWSE_DEST, destination);
    {
        HeldFile hold(source);
        EXPECT_REPORT(app, app.patch(), kCannotReadSource, IconKind::stop);
    }
    EXPECT_FALSE(fileExists(destination));
    removeFile(source);
    EXPECT_REPORT(app, app.patch(), kCannotReadSource, IconKind::stop);
    EXPECT_FALSE(fileExists(destination));
    writeFile(source, sourceBytes);

    // A destination that another program holds keeps its bytes, and nothing is left beside it.
    const Bytes oldDestination = randomBytes(0x300, 24);
    writeFile(destination, oldDestination);
    {
        HeldFile hold(destination);
        EXPECT_REPORT(app, app.patch(), kCannotWriteDestination, IconKind::stop);
    }
    EXPECT_TRUE(sameBytes(readFile(destination), oldDestination)) << "the held destination changed";
    EXPECT_EQ(listFolder(outFolder), std::vector<std::string>{"patched.bin"});
    noFileChanged();

    // A read-only destination is not replaced either. Windows refuses to open it for
    // writing; Wine running as root would open it, since root may write any file, so the
    // program refuses it itself before anything is written beside it.
    SetFileAttributesA(destination.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_REPORT(app, app.patch(), kCannotWriteDestination, IconKind::stop);
    EXPECT_TRUE(sameBytes(readFile(destination), oldDestination)) << "the read-only destination changed";
    EXPECT_EQ(GetFileAttributesA(destination.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(listFolder(outFolder), std::vector<std::string>{"patched.bin"});
    SetFileAttributesA(destination.c_str(), FILE_ATTRIBUTE_NORMAL);

    // A destination whose folder has gone.
    removeFile(destination);
    ASSERT_TRUE(RemoveDirectoryA(outFolder.c_str()));
    EXPECT_REPORT(app, app.patch(), kCannotWriteDestination, IconKind::stop);
    EXPECT_FALSE(fileExists(outFolder));
    makeFolder(outFolder);
    noFileChanged();

    // And with everything in place it works, the ticks as loaded.
    EXPECT_REPORT(app, app.patch(), kSuccess, IconKind::exclamation);
    EXPECT_TRUE(sameBytes(readFile(destination), expectedImage(sourceBytes, good, {1, 1, 1})));
    EXPECT_EQ(listFolder(outFolder), std::vector<std::string>{"patched.bin"});
    EXPECT_TRUE(app.closeWithEsc());
}

}  // namespace
}  // namespace gui
