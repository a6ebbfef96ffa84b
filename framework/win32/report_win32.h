#pragma once
// Window-side pieces of the report helper.

#include <windows.h>

#include <string>

// The window that owns reports (its last active pop-up, when it has one).
void setReportOwner(HWND owner);
HWND reportOwner();
// The message box every report uses: the text captioned with the application title and
// style (an MB_ICON* value, with MB_SYSTEMMODAL where wanted; one OK button unless it
// names others). Returns the button pressed.
int showReport(const char* text, UINT style) noexcept;
// The same with a text the program's code page may not hold, such as a name it refuses.
int showReport(const wchar_t* text, UINT style) noexcept;
// A question as a report: the exclamation icon, Yes and No, No the default. True for Yes.
bool askReport(const char* text) noexcept;
// String 0xE000 of the program's resources, or else the executable's name without its
// extension, taken from its whole path.
const std::string& applicationTitle();
