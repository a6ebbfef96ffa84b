#pragma once
// The clipboard's text, read and written as other programs expect it: UTF-16, with the
// 8-bit form beside it for programs that only read that.

#include <windows.h>

#include <string>

// Whether the clipboard holds text of any form.
bool ClipboardHasText();
// The clipboard's text; empty when it holds none or another program holds it open.
std::wstring ClipboardText(HWND owner);
// The clipboard's text when it holds no more than most characters of it, else empty: a
// look for a short text must not copy a long one. Read once for each change of the
// clipboard's contents, so that looking often costs nothing.
std::wstring ShortClipboardText(HWND owner, std::size_t most);
// Puts text on the clipboard in place of what it held; false when it cannot.
bool SetClipboardText(HWND owner, const std::wstring& text);
