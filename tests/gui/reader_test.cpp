// Files read in the background: a 1 GiB source hashed while the window answers and an
// open tooltip fills in, the clipboard's hash compared with the files', the rows that
// change nothing drawn grey, and Patch while the destination is still being read.

#include <algorithm>

#include "scenario.h"

namespace gui {
namespace {

constexpr std::uint64_t kGiB = 1ull << 30;

// A file of size bytes, all zero, sparse where the file system allows.
std::string zeroFile(const std::string& path, std::uint64_t size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool made = file != INVALID_HANDLE_VALUE && SetFilePointerEx(file, end, nullptr, FILE_BEGIN) &&
                      SetEndOfFile(file);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (!made)
        throw DriverError("cannot make " + path);
    return path;
}

POINT middleOf(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    return {client.right / 3, client.bottom / 2};
}

// The tip of a path row, read once it says whatever done accepts, the mouse still.
std::string tipWhen(const App& app, int row, const std::function<bool(const std::string&)>& done, DWORD timeoutMs)
{
    std::string tip = app.tipAt(app.item(row), middleOf(app.item(row)));
    waitUntil([&] { return done(tip = shownTip(app.pid())); }, timeoutMs);
    return tip;
}

std::string lastLine(const std::string& text) { return text.substr(text.rfind('\n') + 1); }


// The darkest colour of a row's label as drawn: the text's own, whatever the edges blend.
std::uint32_t labelInk(App& app, int index)
{
    app.showRow(index);
    RECT label = app.rowRect(index);
    label.left += scaledToScreen(14);
    const Pixels pixels = capture(app.item(IDC_HUNK_LIST), label);
    auto lightness = [](std::uint32_t c) { return (c >> 16 & 0xFF) + (c >> 8 & 0xFF) + (c & 0xFF); };
    return *std::min_element(pixels.rgb.begin(), pixels.rgb.end(),
                             [&](std::uint32_t a, std::uint32_t b) { return lightness(a) < lightness(b); });
}

// Another program's rewrite of the whole file, its size and last-write time as they were.
void rewriteKeepingTime(const std::string& path, const Bytes& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    FILETIME written;
    DWORD put = 0;
    const bool done = file != INVALID_HANDLE_VALUE && GetFileTime(file, nullptr, nullptr, &written) &&
                      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
                      SetFileTime(file, nullptr, nullptr, &written);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (!done)
        throw DriverError("cannot rewrite " + path);
}

std::uint32_t rgbOf(int sysColour)
{
    const COLORREF c = GetSysColor(sysColour);
    return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
}

TEST(Background, BigFilesAreReadWhileTheWindowAnswers)
{
    const std::string folder = testFolder();
    const std::string big = zeroFile(joinPath(folder, "big.bin"), kGiB);
    const std::string bigger = zeroFile(joinPath(folder, "bigger.bin"), kGiB + 1);
    const std::string old = zeroFile(joinPath(folder, "old.bin"), kGiB);
    // Over zeros, and over a headered source that holds the same: the first and last
    // hunks change nothing, the middle one changes two bytes.
    PatchFile p;
    p.literal(0x100, {0, 0, 0, 0});
    p.literal(0x200, {1, 2});
    p.run(0x300, 16, 0);
    const std::string patchPath = writePatch(joinPath(folder, "fix.ips"), p);
    Bytes small = randomBytes(0x8200, 31);  // 512 past a multiple of 1,024
    std::fill(small.begin() + 0x100, small.begin() + 0x104, 0);
    std::fill(small.begin() + 0x300, small.begin() + 0x310, 0);
    small[0x200] = 3;
    const std::string smallPath = joinPath(folder, "headered.bin");
    writeFile(smallPath, small);
    const std::string headerlessPath = joinPath(folder, "headerless.bin");
    writeFile(headerlessPath, Bytes(small.begin() + 512, small.end()));
    // Before the program runs, so that the tools have the machine to themselves.
    const ToolHashes bigHashes = toolHashes(big, 120000);
    const ToolHashes headerless = toolHashes(headerlessPath);

    App app;
    loadPatch(app, patchPath, p);
    app.chooseExistingDestination(bigger);
    const std::string tooLarge = bigger + "\n1073741825 bytes (0x40000001)\nToo large to hash here.";
    EXPECT_EQ(app.tipAt(app.item(IDC_DEST_PATH), middleOf(app.item(IDC_DEST_PATH)), tooLarge), tooLarge)
        << "one byte past 1 GiB is not hashed";

    // The source's read starts as it is chosen; the tip says so at once and fills in
    // where it stands, while the window answers throughout.
    app.chooseFile(IDC_BROWSE_SOURCE, big);
    const std::string computing = "\n1073741824 bytes (0x40000000)\nComputing the hashes...";
    EXPECT_EQ(app.tipAt(app.item(IDC_SOURCE_PATH), middleOf(app.item(IDC_SOURCE_PATH)), big + computing),
              big + computing);
    DWORD slowest = 0;
    std::string tip;
    const bool hashed = waitUntil(
        [&] {
            const DWORD start = GetTickCount();
            DWORD_PTR result;
            if (!SendMessageTimeoutA(app.main(), WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result))
                slowest = 1000;
            slowest = std::max(slowest, GetTickCount() - start);
            return (tip = shownTip(app.pid())).find("SHA-256") != std::string::npos;
        },
        180000);
    ASSERT_TRUE(hashed) << "the open tip says: " << tip;
    EXPECT_LT(slowest, 1000u) << "the window did not answer while the source was read";
    EXPECT_EQ(tip, big + "\n1073741824 bytes (0x40000000)\n" + bigHashes.lines());
    EXPECT_EQ(labelInk(app, 0), rgbOf(COLOR_GRAYTEXT)) << "the source holds the first hunk's bytes";
    EXPECT_EQ(labelInk(app, 1), rgbOf(COLOR_WINDOWTEXT)) << "the middle hunk changes the source";
    EXPECT_EQ(labelInk(app, 2), rgbOf(COLOR_GRAYTEXT));
    const std::string changes = "Writes 2 bytes at 0x000200.\nChanges 2 of 2 bytes of the source.";
    awayFromTips(app);
    const RECT middleRow = app.rowRect(1);
    EXPECT_EQ(app.tipAt(app.item(IDC_HUNK_LIST), {middleRow.right / 2, (middleRow.top + middleRow.bottom) / 2}, changes),
              changes);

    // What the clipboard holds, as copied from a read-me.
    auto clipboardSays = [&](const std::string& hash, int row) {
        setClipboardText(widen("  " + hash + "\r\n"));
        awayFromTips(app);
        return lastLine(tipWhen(app, row, [](const std::string& t) { return t.find("clipboard") != std::string::npos; },
                                5000));
    };
    EXPECT_EQ(clipboardSays(upper(bigHashes.sha1), IDC_SOURCE_PATH), "Matches the SHA-1 on the clipboard.");
    EXPECT_EQ(clipboardSays(bigHashes.crc32 == "DEADBEEF" ? "0xFEEDBEEF" : "0xDEADBEEF", IDC_SOURCE_PATH),
              "Does not match the CRC32 on the clipboard.");

    app.chooseFile(IDC_BROWSE_SOURCE, smallPath);
    EXPECT_EQ(clipboardSays(headerless.sha1, IDC_SOURCE_PATH),
              "Matches, without its copier header, the SHA-1 on the clipboard.");

    // Rewritten by another program while the window is open, with its size and time as
    // they were: the grey rows follow the new bytes, and the open tip its hashes, unasked.
    Bytes rewritten = small;
    rewritten[0x100] = 9;
    rewritten[0x200] = 1;
    rewritten[0x201] = 2;
    const std::string rewrittenPath = joinPath(folder, "rewritten.bin");
    writeFile(rewrittenPath, rewritten);
    const ToolHashes fresh = toolHashes(rewrittenPath);
    awayFromTips(app);
    EXPECT_EQ(tipWhen(app, IDC_SOURCE_PATH, [](const std::string& t) { return t.find("SHA-256") != std::string::npos; }, 5000)
                  .find(fresh.sha1),
              std::string::npos);
    rewriteKeepingTime(smallPath, rewritten);
    EXPECT_TRUE(waitUntil([&] { return shownTip(app.pid()).find(fresh.sha1) != std::string::npos; }, 5000))
        << "the open tip still says: " << shownTip(app.pid());
    awayFromTips(app);
    const auto inks = [&] { return std::vector<std::uint32_t>{labelInk(app, 0), labelInk(app, 1)}; };
    const std::uint32_t grey = rgbOf(COLOR_GRAYTEXT), black = rgbOf(COLOR_WINDOWTEXT);
    EXPECT_TRUE(waitUntil([&] { return inks() == std::vector<std::uint32_t>{black, grey}; }, 5000))
        << "the first hunk changes the new bytes, the middle one is held";
    rewriteKeepingTime(smallPath, small);
    EXPECT_TRUE(waitUntil([&] { return inks() == std::vector<std::uint32_t>{grey, black}; }, 5000));

    // A tick changed under the Patch button's tip: the tip tells the new ticks in place.
    const std::string writes = "Writes 33280 bytes (0x8200): ";
    EXPECT_EQ(app.tipAt(app.item(IDOK), middleOf(app.item(IDOK)), writes + "3 of 3 hunks ticked."),
              writes + "3 of 3 hunks ticked.");
    PostMessageA(app.item(IDC_HUNK_LIST), WM_KEYDOWN, VK_SPACE, 1);
    PostMessageA(app.item(IDC_HUNK_LIST), WM_KEYUP, VK_SPACE, 0xC0000001);
    EXPECT_TRUE(waitUntil([&] { return shownTip(app.pid()) == writes + "2 of 3 hunks ticked."; }, 5000))
        << "the Patch button's tip says: " << shownTip(app.pid());
    PostMessageA(app.item(IDC_HUNK_LIST), WM_KEYDOWN, VK_SPACE, 1);
    PostMessageA(app.item(IDC_HUNK_LIST), WM_KEYUP, VK_SPACE, 0xC0000001);
    EXPECT_TRUE(waitUntil([&] { return app.checks() == std::vector<int>{1, 1, 1}; }, 5000));
    setClipboardText(L"no hash");
    awayFromTips(app);
    EXPECT_EQ(lastLine(tipWhen(app, IDC_PATCH_PATH, [](const std::string& t) { return t.find("hunks") != std::string::npos; },
                               5000)),
              "The source already holds the bytes of 2 of 3 hunks.");

    // Patch while the destination is still being read: the reader lets go of it.
    app.chooseExistingDestination(old);
    awayFromTips(app);
    EXPECT_EQ(app.tipAt(app.item(IDC_DEST_PATH), middleOf(app.item(IDC_DEST_PATH)), old + computing), old + computing);
    EXPECT_REPORT(app, app.patch(), kSuccess, IconKind::exclamation);
    EXPECT_TRUE(sameBytes(readFile(old), expectedImage(small, p, {1, 1, 1})));
    awayFromTips(app);
    const std::string after =
        tipWhen(app, IDC_DEST_PATH, [](const std::string& t) { return t.find("SHA-256") != std::string::npos; }, 10000);
    EXPECT_EQ(after.rfind(old + "\n33280 bytes (0x8200)\nCRC32 ", 0), 0u) << "the destination is read again: " << after;
    EXPECT_EQ(readFile(smallPath), small) << "the source changed";

    // Deleted: its tip says so and no row stays grey.
    awayFromTips(app);
    DeleteFileA(smallPath.c_str());
    EXPECT_TRUE(waitUntil([&] { return labelInk(app, 0) == rgbOf(COLOR_WINDOWTEXT); }, 5000));
    EXPECT_EQ(tipWhen(app, IDC_SOURCE_PATH, [](const std::string& t) { return t.find("exist") != std::string::npos; }, 5000),
              smallPath + "\nThe file does not exist.");
    EXPECT_TRUE(app.closeWithEsc());
}

}  // namespace
}  // namespace gui
