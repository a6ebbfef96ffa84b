// File names in Cyrillic, Japanese and accented Latin, typed into the real dialogs
// as Unicode text: translation patches and the games they apply to carry such names.

#include "scenario.h"

#include <algorithm>

namespace gui {
namespace {

// The file name with its letters in upper case, as Windows pairs them.
std::string shouted(const std::string& path)
{
    std::wstring wide = widen(path);
    const std::size_t name = wide.find_last_of(L'\\') + 1;
    CharUpperBuffW(&wide[name], static_cast<DWORD>(wide.size() - name));
    return narrow(wide);
}

TEST(Names, CyrillicJapaneseAndAccentedNames)
{
    PatchFile p;
    p.literal(0x20, randomBytes(12, 70));
    p.run(0x100, 32, 0x5A);
    p.literal(0x1F8, randomBytes(16, 71));  // past the source's end: grows it
    const std::string folder = joinPath(testFolder(), "Переводы ゲーム");
    makeFolder(folder);
    const std::string source = joinPath(folder, "ゲーム ñ.bin");
    const std::string patch = writePatch(joinPath(folder, "Перевод.ips"), p);
    const std::string destination = joinPath(folder, "出力.bin");
    const Bytes sourceBytes = randomBytes(0x200, 72);
    writeFile(source, sourceBytes);
    const std::vector<std::string> inputs = listFolder(folder);

    App app;
    app.typeFile(IDC_BROWSE_SOURCE, source);
    app.typeFile(IDC_BROWSE_PATCH, patch);
    app.expectNoReport();
    EXPECT_EQ(app.text(IDC_HUNK_COUNT), "3");
    expectList(app, expectedList(p));
    app.typeFile(IDC_BROWSE_DEST, destination);
    // What the window shows, read as the control holds it, not through a code page.
    EXPECT_EQ(wideText(app.item(IDC_SOURCE_PATH)), widen(source));
    EXPECT_EQ(wideText(app.item(IDC_PATCH_PATH)), widen(patch));
    EXPECT_EQ(wideText(app.item(IDC_DEST_PATH)), widen(destination));

    EXPECT_REPORT(app, app.patch(), kSuccess, IconKind::exclamation);
    EXPECT_TRUE(sameBytes(readFile(destination), expectedImage(sourceBytes, p, {1, 1, 1})));
    EXPECT_TRUE(sameBytes(readFile(source), sourceBytes)) << "the source changed";
    EXPECT_TRUE(sameBytes(readFile(patch), p.encode())) << "the patch changed";

    // The source under another spelling of its name is still the source.
    const Bytes written = readFile(destination);
    app.typeFile(IDC_BROWSE_DEST, shouted(source), true);
    ASSERT_NE(app.text(IDC_DEST_PATH), source) << "the dialog gave back the same letters";
    EXPECT_REPORT(app, app.patch(), kSameFile, IconKind::stop);
    EXPECT_TRUE(sameBytes(readFile(source), sourceBytes)) << "the source changed";

    // A destination another program holds keeps its bytes, and nothing is left beside it.
    app.typeFile(IDC_BROWSE_DEST, destination, true);
    {
        HeldFile hold(destination);
        EXPECT_REPORT(app, app.patch(), kCannotWriteDestination, IconKind::stop);
    }
    EXPECT_TRUE(sameBytes(readFile(destination), written)) << "the held destination changed";
    std::vector<std::string> expected = inputs;
    expected.push_back("出力.bin");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listFolder(folder), expected);
    EXPECT_TRUE(app.closeWithEsc());
}

}  // namespace
}  // namespace gui
