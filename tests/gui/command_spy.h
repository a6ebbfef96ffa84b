#pragma once
// What the command spy library and the driver share.

#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace gui {

// The last check-change notification a window of the watched thread received, and how
// many it received.
struct SpyRecord {
    volatile LONG count;
    std::uint64_t target;  // the window it was sent to
    std::uint64_t wParam;  // control id and code
    std::uint64_t lParam;  // the control's window
};

// The shared memory's name, one per watched thread.
inline void spyMemoryName(char* name, std::size_t size, DWORD thread)
{
    std::snprintf(name, size, "VelquinCommandSpy.%lu", static_cast<unsigned long>(thread));
}

}  // namespace gui
