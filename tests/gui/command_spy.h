#pragma once
// What the command spy library and the driver share.

#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace gui {

// The last check-change notification a window of the watched thread received, and how
// many it received; and the font of the window last asked for its font, which only the
// program's own process can read.
struct SpyMenuItem {
    wchar_t text[64];
    std::uint32_t state;  // MFS_GRAYED, MFS_DEFAULT, ...
    RECT screen;          // where it shows
};

struct SpyRecord {
    volatile LONG count;
    std::uint64_t target;  // the window it was sent to
    std::uint64_t wParam;  // control id and code
    std::uint64_t lParam;  // the control's window
    LOGFONTA font;
    // The items of the menu window last asked for them.
    LONG menuItems;
    SpyMenuItem menu[16];
    // What the program last asked the shell to start, once the spy stands in for it: "open"
    // and the file for ShellExecuteExW, "select" and the item for SHOpenFolderAndSelectItems.
    volatile LONG started;
    wchar_t startKind[16];
    wchar_t startVerb[16];
    wchar_t startFile[520];
    // How many UI Automation notifications the program raised from then on, and the text
    // of the last.
    volatile LONG announced;
    wchar_t announcement[64];
};

// Sent to a window of the program to have the font it uses described in the record.
// (Wine answers no WM_GETFONT from another process.)
inline UINT spyFontMessage() { return RegisterWindowMessageA("VelquinCommandSpy.Font"); }

// Sent to the program's menu window (#32768) to have its items described in the record.
inline UINT spyMenuMessage() { return RegisterWindowMessageA("VelquinCommandSpy.Menu"); }
// Sent to a window of the program to have the spy stand in for the shell's starting of
// programs from then on, recording what would have been started.
inline UINT spyShellMessage() { return RegisterWindowMessageA("VelquinCommandSpy.Shell"); }

// The shared memory's name, one per watched thread.
inline void spyMemoryName(char* name, std::size_t size, DWORD thread)
{
    std::snprintf(name, size, "VelquinCommandSpy.%lu", static_cast<unsigned long>(thread));
}

}  // namespace gui
