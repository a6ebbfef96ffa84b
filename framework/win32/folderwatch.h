#pragma once
// Tells a window when another program changes one of a few chosen files: written in
// place, replaced by a rename, renamed away or deleted. The files' folders are watched on
// a thread of their own; after anything in a folder changed, each chosen file in it is
// looked at by name, and the window compares what it sees with what it knows, so
// changes to other files there (Velquin's own temporary ones among them) change nothing.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/win32/filelook.h"
#include "framework/win32/handle.h"

// Watches the folders of a few chosen files on a thread of its own and tells the window,
// by one posted message, what each file looks like after anything in its folder changed.
class CFolderWatch {
public:
    CFolderWatch();
    ~CFolderWatch();  // ends the watch; never waits on a slow file system for long
    CFolderWatch(const CFolderWatch&) = delete;
    CFolderWatch& operator=(const CFolderWatch&) = delete;

    bool Start(HWND window, UINT message);  // message (no parameters) posted when looks wait to be taken
    // The files to watch (empty strings ignored; duplicates fine); their folders are watched,
    // each folder once. Replaces the previous set. Folders no longer needed are let go.
    void Watch(const std::vector<std::string>& paths);
    // Folders that cannot be watched (some network shares) are looked at every 2 s, only while active.
    void SetActive(bool active);
    // From the window's WM_DEVICECHANGE: a query to remove (or a removal of) the device of a
    // watched folder closes that folder's handle before returning, so the drive can be
    // removed safely; the folder is then looked at as an unwatchable one. True when it was one of ours.
    bool OnDeviceChange(WPARAM event, LPARAM data);
    struct Look {
        std::string path;
        PathLook seen;
    };
    // The latest look at each watched file since the last call (one per path at most).
    std::vector<Look> TakeLooks();

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    UniqueKernelHandle m_thread;  // waited on for a moment at the end, never longer
};
