#pragma once
// What the Destination row's menu starts: the file in the program Windows associates with
// it, and Explorer showing it in its folder.

#include <windows.h>

#include <string>

// Opens path as a double click in Explorer would (an emulator for a ROM); the system
// tells the user itself when it cannot. False when nothing was started.
bool OpenWithItsProgram(HWND owner, const std::string& path);
// Opens Explorer on path's folder with the file selected; on the folder alone when the
// file is not there.
bool ShowInFolder(const std::string& path);
