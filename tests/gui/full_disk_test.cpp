// A destination on a disk without room for it: the write fails part way, the report
// names the destination whole, whatever its script, and nothing is left behind.

#include "scenario.h"

namespace gui {
namespace {

TEST(FullDisk, ReportNamesTheDestinationAndChangesNoFile)
{
    const std::string disk = options().fullDisk;
    ASSERT_FALSE(disk.empty()) << "no small disk given";
    ASSERT_TRUE(listFolder(disk).empty()) << "the small disk is not empty";
    const std::string folder = testFolder();
    PatchFile p;
    p.literal(0x10, randomBytes(32, 90));
    const std::string patch = writePatch(joinPath(folder, "Перевод.ips"), p);
    const std::string source = joinPath(folder, "ゲーム.bin");
    const Bytes sourceBytes = randomBytes(512 * 1024, 91);  // twice the disk
    writeFile(source, sourceBytes);
    const std::string destination = joinPath(disk, "出力 ñ.bin");
    const std::string diskFull = "Disk full while accessing " + destination + ".";

    App app;
    app.typeFile(IDC_BROWSE_SOURCE, source);
    ASSERT_NO_FATAL_FAILURE(loadPatch(app, patch, p));
    app.typeFile(IDC_BROWSE_DEST, destination);
    EXPECT_REPORT(app, app.patch(), diskFull, IconKind::stop);
    EXPECT_TRUE(listFolder(disk).empty()) << "a failed write left files behind";

    // An old destination keeps its bytes.
    const Bytes old = randomBytes(4096, 92);
    writeFile(destination, old);
    EXPECT_REPORT(app, app.patch(), diskFull, IconKind::stop);
    EXPECT_TRUE(sameBytes(readFile(destination), old)) << "the old destination changed";
    EXPECT_EQ(listFolder(disk), std::vector<std::string>{"出力 ñ.bin"}) << "a failed write left files behind";
    EXPECT_TRUE(sameBytes(readFile(source), sourceBytes)) << "the source changed";
    removeFile(destination);
    EXPECT_TRUE(app.closeWithEsc());
}

}  // namespace
}  // namespace gui
