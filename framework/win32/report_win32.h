#pragma once
// Window-side pieces of the report helper.

#include <windows.h>

#include <string>

// The window that owns reports (its last active pop-up, when it has one).
void setReportOwner(HWND owner);
HWND reportOwner();
// The message box every report uses: the text captioned with the application title,
// one OK button, and icon (an MB_ICON* value, with MB_SYSTEMMODAL where wanted).
void showReport(const char* text, UINT icon) noexcept;
// String 0xE000 of the program's resources, or else the executable's name without extension.
const std::string& applicationTitle();
