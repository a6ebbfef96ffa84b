#pragma once
// The platform's tooltip control, created by its class name: the manifest's common
// controls 6 provide it, so comctl32 is never imported. Tools take their text through
// TTN_GETDISPINFO, from a buffer their window keeps, so no text is cut at 80 characters.

#include <windows.h>

#include <string>

class CToolTip {
public:
    // A tooltip for owner's tools, lines broken only at "\n". False when the system has
    // no tooltip control to give.
    bool Create(HWND owner);
    HWND GetSafeHwnd() const { return m_hWnd; }

    // A rectangle of window (in its client coordinates) named id; its text is asked of
    // window when the tip is about to show. The tooltip watches window's mouse itself.
    bool AddRectTool(HWND window, UINT_PTR id, const RECT& rect);
    // A control of dialog as such a rectangle of the dialog, named by the control's id:
    // for a static without SS_NOTIFY, whose mouse goes to the dialog.
    bool AddControlRect(HWND dialog, int id);
    // Hides the tip and lets it show again after the usual delay, as if the mouse had
    // just come to rest at point (window's client coordinates).
    void Restart(HWND window, POINT point);

private:
    HWND m_hWnd = nullptr;  // owned by the owner window: destroyed with it
};

// A tip's text as the window that answers for it keeps it while the tip shows.
struct ToolTipText {
    std::string narrow;
    std::wstring wide;
};

// Answers a TTN_GETDISPINFOA or W in notification with text, kept in buffer. False when
// notification is no such request.
bool AnswerToolTipText(LPARAM notification, const std::string& text, ToolTipText& buffer);
