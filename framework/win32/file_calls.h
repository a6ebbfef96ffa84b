#pragma once
// The system calls that put a new file in the place of an old one, in one table, so that
// tests can make them fail as network shares, scanners and sync clients make them fail.

#include <windows.h>

namespace filesys {

struct ReplaceCalls {
    decltype(&ReplaceFileA) replaceFile = ReplaceFileA;
    decltype(&MoveFileExA) moveFile = MoveFileExA;
    decltype(&DeleteFileA) deleteFile = DeleteFileA;
    decltype(&FlushFileBuffers) flushFile = FlushFileBuffers;
    decltype(&Sleep) wait = Sleep;  // between tries while another program holds a file
};

// Puts calls in place (a default table is the system's own); returns the table it replaced.
ReplaceCalls setReplaceCalls(const ReplaceCalls& calls);

}  // namespace filesys
