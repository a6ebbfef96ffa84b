#pragma once
// A look at a file by its name that reads none of its bytes: whether it is there, its
// identity, and whether the system keeps its bytes elsewhere. A file kept online is never
// opened, so that a look never fetches it from a cloud drive.

#include <windows.h>

#include <cstdint>
#include <string>

#include "framework/file.h"

// Whether the system keeps the file's bytes elsewhere, to be fetched when it is read:
// an online-only file of a cloud drive, or one moved to slow storage.
bool KeptOnline(DWORD attributes);

struct PathLook {
    FileLook look = FileLook::failed;
    FileIdentity identity;    // found only
    bool keptOnline = false;  // found only; then the identity has no change time or id
    // Taken just before the look: a look with a larger number saw the file later.
    std::uint64_t number = 0;
};
bool operator==(const PathLook& a, const PathLook& b);  // what was seen, whenever
inline bool operator!=(const PathLook& a, const PathLook& b) { return !(a == b); }

PathLook LookAtPath(const std::string& path);

// Numbers that go up with every look and every request, across threads.
std::uint64_t NextLookNumber();

// How a look gets the path's attributes: the system's call, unless a test puts one of its
// own here (nullptr puts the system's back). Returns the one it replaced.
using AttributesCall = decltype(&GetFileAttributesExA);
AttributesCall SetLookAttributesCall(AttributesCall call);
