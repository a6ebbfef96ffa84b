#pragma once
// What screen readers are told without asking: a UI Automation notification, which they
// speak as a line of its own (Windows 10 version 1709 and later).

#include <windows.h>

#include <string>

// Has screen readers say text of window once they have said what they are saying; a later
// one of the same activity takes the place of one not yet said. False where the system
// has no notifications to raise, and nothing is said.
bool AnnounceToScreenReaders(HWND window, const std::wstring& text, const wchar_t* activity);
// Lets go of what the system keeps of the announcements of window, which is being
// destroyed.
void ForgetAnnouncements(HWND window);
