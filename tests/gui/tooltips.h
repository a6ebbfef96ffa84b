#pragma once
// Hovering, for the program's tooltips (tooltips.cpp, beside App::tipAt).

#include <windows.h>

#include <string>

namespace gui {

// Moves the mouse to a point of window and lets it rest there.
void hoverAt(HWND window, POINT client);

// The text of the tooltip of process pid that shows; empty when none does.
std::string shownTip(DWORD pid);
// Moves the mouse off every tool of the program and waits until no tip of it shows.
class App;
void awayFromTips(const App& app);

// A file's hashes in the lines a path row's tooltip gives them ("CRC32 ...", "MD5 ...",
// "SHA-1 ...", "SHA-256 ..."): the CRC-32 worked out by the driver, byte by byte from a
// table of its own, the others as Debian's md5sum, sha1sum and sha256sum print them.
// The tools have timeoutMs between them.
struct ToolHashes {
    std::string crc32, md5, sha1, sha256;
    std::string lines() const;
};
ToolHashes toolHashes(const std::string& path, DWORD timeoutMs = 15000);

}  // namespace gui
