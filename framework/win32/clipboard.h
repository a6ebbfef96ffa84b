#pragma once
// The clipboard's text, read and written as other programs expect it: UTF-16, with the
// 8-bit form beside it for programs that only read that.

#include <windows.h>

#include <optional>
#include <string>

// Whether the clipboard holds text of any form.
bool ClipboardHasText();
// The clipboard's text, empty when it holds none; nothing when another program holds the
// clipboard open for all of a fifth of a second (clipboard managers and remote desktops
// hold it for a moment after each change).
std::optional<std::wstring> ClipboardText(HWND owner);
// The clipboard's text when it holds no more than most characters of it, else empty: a
// look for a short text must not copy a long one. Read once for each change of the
// clipboard's contents, so that looking often costs nothing; tried once, never waited for.
std::wstring ShortClipboardText(HWND owner, std::size_t most);

enum class ClipboardResult { done, busy, failed };
// Puts text on the clipboard in place of what it held: busy when another program holds
// it open as ClipboardText waits, failed when it takes no text (short of memory).
ClipboardResult SetClipboardText(HWND owner, const std::wstring& text);

// The calls that open the clipboard, in one table, so that tests can have another program
// hold it.
struct ClipboardCalls {
    decltype(&OpenClipboard) open = OpenClipboard;
    decltype(&Sleep) wait = Sleep;  // between tries
};
// Puts calls in place (a default table is the system's own); returns the table it replaced.
ClipboardCalls SetClipboardCalls(const ClipboardCalls& calls);
