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

PathLook LookAtPath(const std::string& path);

// How a look gets the path's attributes: the system's call, unless a test puts one of its
// own here (nullptr puts the system's back). Returns the one it replaced.
using AttributesCall = decltype(&GetFileAttributesExA);
AttributesCall SetLookAttributesCall(AttributesCall call);
