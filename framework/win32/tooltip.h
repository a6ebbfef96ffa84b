#pragma once
// The platform's tooltip control, created by its class name: the manifest's common
// controls 6 provide it, so comctl32 is never imported. Tools take their text through
// TTN_GETDISPINFO, from a buffer their window keeps, so no text is cut at 80 characters.

#include <windows.h>

#include <string>

class CToolTip {
public:
    CToolTip() = default;
    ~CToolTip();
    CToolTip(const CToolTip&) = delete;
    CToolTip& operator=(const CToolTip&) = delete;

    // A tooltip for owner's tools, lines broken only at "\n". False when the system has
    // no tooltip control to give.
    bool Create(HWND owner);
    HWND GetSafeHwnd() const { return m_hWnd; }

    // A rectangle of window (in its client coordinates) named id; its text is asked of
    // window when the tip is about to show. window relays its mouse messages (Relay):
    // the tooltip's own subclass (TTF_SUBCLASS) would stand in front of every message the
    // window gets, which for a list, or the dialog that owns one, are many thousand a fill.
    bool AddRectTool(HWND window, UINT_PTR id, const RECT& rect);
    // A control of dialog as such a rectangle of the dialog, named by the control's id:
    // for a static without SS_NOTIFY, whose mouse goes to the dialog.
    bool AddControlRect(HWND dialog, int id);
    // A child window of window as a tool of its own, whose mouse the tooltip watches
    // itself; its text is asked of window, the tool's id the child's handle.
    bool AddWindowTool(HWND window, HWND child);
    // A tool of window that shows only when Track puts it on screen; its text is asked
    // of window as for the others.
    bool AddTrackingTool(HWND window, UINT_PTR id);
    // Shows tracking tool id of window with its top left corner at screen, or hides it.
    void Track(HWND window, UINT_PTR id, POINT screen, bool show);
    // Hands the tooltip a mouse message of a tool's window.
    void Relay(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Hides the tip; the next mouse message shows it again after the usual delay.
    void Pop();
    bool Showing() const { return m_hWnd && IsWindowVisible(m_hWnd); }
    // Asks the tool on show for its text again and shows that in place.
    void Refresh();

private:
    HWND m_hWnd = nullptr;  // destroyed with its owner window, or with this
};

// A tip's text as the window that answers for it keeps it while the tip shows.
struct ToolTipText {
    std::string narrow;
    std::wstring wide;
};

// Answers a TTN_GETDISPINFOA or W in notification with text, kept in buffer. False when
// notification is no such request.
bool AnswerToolTipText(LPARAM notification, const std::string& text, ToolTipText& buffer);
