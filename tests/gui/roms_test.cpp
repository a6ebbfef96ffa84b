// The ROM a source is: its console's header and checksums on the Source row, the header
// regions a hunk writes, what Patch will make of the checksums, and Correct Checksums on
// the destination, for a Game Boy ROM and a SNES ROM behind a copier header.

#include <cstdio>
#include <functional>

#include "scenario.h"
#include "tests/support/rom.h"

namespace gui {
namespace {

std::string hex(std::uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

struct RomCase {
    const char* name;
    Bytes source;
    std::vector<support::Checksum> checksums;  // in the order of the format's line
    std::function<void(Bytes&)> fix;           // as a ROM tool fixes them
    std::string format;                         // the line before the checksums'
    std::uint32_t checksumAt;                   // where the last hunk writes them
    std::vector<std::string> checksumLines;     // what it writes of the header
};

std::vector<RomCase> cases()
{
    const std::size_t snes = support::snesBase(support::Snes::lo, true);
    return {
        {"Game Boy", support::gameBoyRom(0x8000, "VELQUIN TEST"),
         {support::kGameBoyHeader, support::kGameBoyGlobal}, support::fixGameBoy, "Game Boy ROM \"VELQUIN TEST\"",
         0x14D, {"Writes the cartridge header.", "Writes the header checksum.", "Writes the global checksum."}},
        {"SNES", support::snesRom(support::Snes::lo, 0x40000, "VELQUIN SNES TEST", true),
         {support::snesStored(true, snes)}, [=](Bytes& rom) { support::fixSnes(rom, true, snes); },
         "SNES ROM \"VELQUIN SNES TEST\", LoROM, after a 512-byte copier header", static_cast<std::uint32_t>(snes + 0x1C),
         {"Writes the internal header.", "Writes the checksum."}},
    };
}

// The checksum part of a format line: each as it stands in rom.
std::string checksumsOf(const RomCase& c, const Bytes& rom)
{
    std::string text;
    for (const support::Checksum& checksum : c.checksums) {
        const std::uint32_t stored = checksum.stored(rom), wanted = checksum.wanted(rom);
        text += std::string(text.empty() ? ": " : ", ") + checksum.name + " 0x" + hex(stored, checksum.digits) +
                (stored == wanted ? " matches" : " does not match (0x" + hex(wanted, checksum.digits) + " would)");
    }
    return text + ".";
}

std::string tipOver(App& app, int control)
{
    awayFromTips(app);
    RECT rect;
    GetClientRect(app.item(control), &rect);
    const std::string tip = app.tipAt(app.item(control), {rect.right / 2, rect.bottom / 2});
    if (!waitUntil([&] { return shownTip(app.pid()).find("...") == std::string::npos; }, 10000))
        throw DriverError("the tip never fills in: " + shownTip(app.pid()));
    return shownTip(app.pid());
}

TEST(Roms, TheConsolesHeaderThePatchsOutputAndCorrectChecksums)
{
    for (const RomCase& c : cases()) {
        SCOPED_TRACE(c.name);
        const std::string folder = freshFolder(std::string("Roms.") + c.name);
        // Three hunks of text, then the checksums that the whole patch calls for.
        PatchFile p;
        for (const std::uint32_t at : {0x1000u, 0x2000u, 0x3000u})
            p.literal(at, randomBytes(16, at));
        Bytes whole = expectedImage(c.source, p, {1, 1, 1});
        c.fix(whole);
        const std::size_t width = c.checksumLines.size() == 3 ? 3 : 4;
        p.literal(c.checksumAt, Bytes(whole.begin() + c.checksumAt, whole.begin() + c.checksumAt + width));
        const std::string sourcePath = joinPath(folder, "game.bin");
        writeFile(sourcePath, c.source);
        const std::string patchPath = writePatch(joinPath(folder, "fix.ips"), p);
        const std::string destPath = joinPath(folder, "out.bin");

        setClipboardText(L"");  // no hash on it, from whatever ran before
        App app;
        CommandSpy spy(app);
        app.chooseFile(IDC_BROWSE_SOURCE, sourcePath);
        loadPatch(app, patchPath, p);
        app.chooseFile(IDC_BROWSE_DEST, destPath);
        const std::string source = tipOver(app, IDC_SOURCE_PATH);
        EXPECT_EQ(source.substr(source.rfind('\n') + 1), c.format + checksumsOf(c, c.source));

        // The checksums' hunk names the header regions it writes, before its source line.
        const int row = positionOf(app, 3);
        std::string lines = "Writes " + std::to_string(width) + " bytes at 0x" + hex(c.checksumAt, 6) + ".";
        for (const std::string& line : c.checksumLines)
            lines += "\n" + line;
        const RECT rect = app.rowRect(row);
        awayFromTips(app);
        const std::string hunk = app.tipAt(app.item(IDC_HUNK_LIST), {rect.right / 2, (rect.top + rect.bottom) / 2});
        EXPECT_EQ(hunk.substr(0, lines.size()), lines);
        EXPECT_EQ(hunk.find("\nChanges ", lines.size()), lines.size()) << hunk;

        // What Patch will make: every hunk, then one left out.
        const std::string size = std::to_string(c.source.size()) + " bytes (0x" + hex(static_cast<std::uint32_t>(c.source.size()), 1) + ")";
        EXPECT_EQ(tipOver(app, IDOK), "Writes " + size + ": 4 of 4 hunks ticked.\nThe output's checksums will match.");
        const int left = positionOf(app, 1);
        app.clickRow(left, scaledToScreen(5));
        const std::vector<int> checks = app.checks();
        const Bytes output = expectedImage(c.source, p, checks);
        std::string wont = "Writes " + size + ": 3 of 4 hunks ticked.";
        for (const support::Checksum& checksum : c.checksums)
            if (checksum.stored(output) != checksum.wanted(output))
                wont += "\nThe output's " + std::string(checksum.name) + " will not match (0x" +
                        hex(checksum.stored(output), checksum.digits) + " stored, 0x" +
                        hex(checksum.wanted(output), checksum.digits) +
                        " would). Correct it after Patch with the Destination row's Correct Checksums.";
        EXPECT_NE(wont.find("will not match"), std::string::npos);
        EXPECT_EQ(tipOver(app, IDOK), wont);

        // Patch as ticked, then the destination's checksums set right, nothing else.
        EXPECT_REPORT(app, app.patch(), kSuccess, IconKind::exclamation);
        EXPECT_TRUE(sameBytes(readFile(destPath), output));
        Bytes corrected = output;
        c.fix(corrected);
        EXPECT_TRUE(waitUntil([&] { return tipOver(app, IDC_DEST_PATH).find("SHA-256") != std::string::npos; }, 10000));
        awayFromTips(app);
        RECT group;
        GetWindowRect(app.item(IDC_DEST_GROUP), &group);
        clickScreen(nullptr, {(group.left + group.right) / 2, (group.top + group.bottom) / 2}, 1, Click::right);
        const HWND menu = findWindow(app.pid(), "#32768", nullptr, 5000);
        for (const CommandSpy::MenuItem& item : spy.menu(menu)) {
            if (item.text == "Correct Chec&ksums") {
                EXPECT_FALSE(item.grayed);
                clickScreen(nullptr, {(item.screen.left + item.screen.right) / 2, (item.screen.top + item.screen.bottom) / 2});
            }
        }
        EXPECT_REPORT(app, app.waitForReport(), "The checksums of " + destPath + " now match its contents.",
                      IconKind::exclamation);
        EXPECT_TRUE(sameBytes(readFile(destPath), corrected));
        EXPECT_EQ(readFile(sourcePath), c.source);
        EXPECT_TRUE(app.closeWithEsc());
    }
}

}  // namespace
}  // namespace gui
