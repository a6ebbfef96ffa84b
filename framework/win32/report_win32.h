#pragma once
// Window-side pieces of the report helper.

#include <windows.h>

#include <string>

// The window that owns reports (its last active pop-up, when it has one).
void setReportOwner(HWND owner);
HWND reportOwner();
// String 0xE000 of the program's resources, or else the executable's name without extension.
const std::string& applicationTitle();
