// Poses the program for screenshots.sh: the main window with a loaded patch, the
// tooltips of a hunk and of the Source row, a second patch added, then the About box. At each pose it leaves
// <name>.ready in the scratch folder and waits for the script to answer with <name>.done
// once its picture is taken.

#include <algorithm>
#include <cstdio>

#include "driver.h"

namespace gui {
namespace {

void pose(const std::string& name)
{
    writeFile(joinPath(options().scratch, name + ".ready"), {});
    const std::string done = joinPath(options().scratch, name + ".done");
    if (!waitUntil([&] { return fileExists(done); }, 60000))
        throw DriverError("no picture taken of " + name);
}

// Rests the mouse on a point of window until the program's tooltip shows all it will.
void poseTip(const App& app, HWND window, POINT point, const std::string& name)
{
    if (app.tipAt(window, point).empty())
        throw DriverError("no tooltip for " + name);
    const auto whole = [&] {
        const std::string tip = shownTip(app.pid());
        return tip.find("Computing the hashes") == std::string::npos && tip.find("Reading the source") == std::string::npos;
    };
    if (!waitUntil(whole, 10000))
        throw DriverError("the tooltip for " + name + " never fills in");
    pose(name);
}

}  // namespace
}  // namespace gui

int screenshotPoses()
{
    using namespace gui;
    try {
        // Files where a user might keep them, so the pictures show a plain path.
        const std::string folder = "C:\\Games";
        makeFolder(folder);
        support::PatchFile patch;
        // Two hunks at the top of the address space: the widest labels there are.
        const std::uint32_t offsets[] = {0xFFFF90, 0x0150, 0x2A00, 0x0400, 0x1180, 0x0040, 0xFFFF60, 0x3300};
        for (std::size_t i = 0; i < 8; ++i)
            patch.literal(offsets[i], randomBytes(0x40 + 0x10 * i, static_cast<std::uint32_t>(i)));
        const std::string patchPath = joinPath(folder, "translation.ips");
        writeFile(patchPath, patch.encode());
        // The source holds two hunks' bytes already: their rows are grey.
        Bytes game = randomBytes(0x8000, 99);
        for (const std::size_t held : {3, 7})
            std::copy(patch.records[held].bytes.begin(), patch.records[held].bytes.end(),
                      game.begin() + patch.records[held].offset);
        const std::string source = joinPath(folder, "game.bin");
        writeFile(source, game);
        // A read-me's hash, copied: the Source row says it matches. The tools see drive Z:
        // only, where the scratch folder is.
        const std::string copy = joinPath(options().scratch, "game.bin");
        writeFile(copy, game);
        setClipboardText(widen(toolHashes(copy).sha1));
        removeFile(copy);

        App app;
        app.chooseFile(IDC_BROWSE_SOURCE, source);
        app.chooseFile(IDC_BROWSE_PATCH, patchPath);
        app.chooseFile(IDC_BROWSE_DEST, joinPath(folder, "game-patched.bin"));
        app.clickRow(1, 5);
        app.clickRow(4, 5);
        clickButton(app.item(IDOK));  // leaves the focus on Patch, where it starts
        app.waitForReport();
        awayFromTips(app);
        app.settle();
        pose("main");

        const RECT row = app.rowRect(2);
        poseTip(app, app.item(IDC_HUNK_LIST), {row.right / 3, (row.top + row.bottom) / 2}, "hunk-tip");
        RECT path;
        GetClientRect(app.item(IDC_SOURCE_PATH), &path);
        poseTip(app, app.item(IDC_SOURCE_PATH), {path.right / 4, path.bottom / 2}, "source-tip");
        awayFromTips(app);  // so that no tip shows over the About box

        // A second patch, added from the list's menu, that writes some of the same bytes.
        support::PatchFile added;
        added.literal(0x11C0, randomBytes(0x20, 50));
        added.literal(0x0150, patch.records[1].bytes);
        const std::string addedPath = joinPath(folder, "bugfix.ips");
        writeFile(addedPath, added.encode());
        send(app.main(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(app.item(IDC_HUNK_LIST)), TRUE);
        pressKey(VK_F10, false, true);
        pressKey('A');
        app.chooseInDialog(addedPath);
        app.settle();
        pose("patches");

        HWND about = app.openAbout();
        app.settle();  // the box has been handled and painted
        pose("about");
        clickButton(GetDlgItem(about, IDOK));
        waitGone(about);
        if (!app.closeWithEsc())
            throw DriverError("the program did not end");
        for (const char* name : {"game.bin", "translation.ips", "bugfix.ips", "game-patched.bin"})
            removeFile(joinPath(folder, name));
        RemoveDirectoryA(folder.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "screenshots: %s\n", e.what());
        return 1;
    }
}
