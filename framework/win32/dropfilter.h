#pragma once
// Drops from Explorer onto a program that runs elevated: the system filters the messages a
// drop is made of when they come from a program of lower integrity.

#include <windows.h>

// The system's ChangeWindowMessageFilterEx, or a test's stand-in.
using MessageFilterCall = BOOL(WINAPI*)(HWND window, UINT message, DWORD action, void* status);

// Lets window take drops from programs of lower integrity. Nothing where the system has
// no such filter (before Windows 7); call is the system's when null.
void AcceptDropsFromLowerPrograms(HWND window, MessageFilterCall call = nullptr);
