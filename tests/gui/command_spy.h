#pragma once
// What the command spy library and the driver share.

#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace gui {

// The last check-change notification a window of the watched thread received, and how
// many it received; and the font of the window last asked for its font, which only the
// program's own process can read.
struct SpyRecord {
    volatile LONG count;
    std::uint64_t target;  // the window it was sent to
    std::uint64_t wParam;  // control id and code
    std::uint64_t lParam;  // the control's window
    LOGFONTA font;
};

// Sent to a window of the program to have the font it uses described in the record.
// (Wine answers no WM_GETFONT from another process.)
inline UINT spyFontMessage() { return RegisterWindowMessageA("VelquinCommandSpy.Font"); }

// The shared memory's name, one per watched thread.
inline void spyMemoryName(char* name, std::size_t size, DWORD thread)
{
    std::snprintf(name, size, "VelquinCommandSpy.%lu", static_cast<unsigned long>(thread));
}

}  // namespace gui
