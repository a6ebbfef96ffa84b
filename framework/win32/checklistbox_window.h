#pragma once
// The check list as a control the user works with: a subclassed owner-drawn list box
// that draws a check box in front of each label, toggles it by mouse and space bar,
// and tells its owner about every toggle.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/checklistbox.h"
#include "framework/win32/dialog.h"

// Notification code of the WM_COMMAND the owner gets after each toggle by the user.
constexpr UINT CLBN_CHKCHANGE = 40;

// The width of a row's check box area on this screen; the label starts where it ends.
int CheckAreaWidth();

// The item at point (the list's client coordinates), or -1.
int CheckListItemAt(HWND list, POINT point);
// The item whose check box area holds point, or -1.
int CheckListBoxAt(HWND list, POINT point);

// WM_NOTIFY code a check list sends its owner for the row that hex digits typed in it
// name: lParam points to a CheckListFind, whose row the owner sets, or leaves at -1.
constexpr UINT CLN_FINDROW = 0x7FFF0002;
struct CheckListFind {
    NMHDR hdr;
    std::uint32_t value;
    int row;
};

// WM_NOTIFY code (a bare NMHDR) a check list sends its owner once the ticks a stroke of
// the user's changed have all been told by CLBN_CHKCHANGE.
constexpr UINT CLN_TICKSCHANGED = 0x7FFF0003;

// WM_NOTIFY code a check list sends its owner for a key of the owner's commands (F8, with
// Shift or not), pressed with the focus in the list: lParam points to a CheckListKey.
constexpr UINT CLN_COMMANDKEY = 0x7FFF0004;
struct CheckListKey {
    NMHDR hdr;
    UINT key;
    bool shift;
};

// The name screen readers say for the list; without one they guess from the text before it.
void NameCheckList(CCheckListBox& list, const std::wstring& name);

// Makes control (an LBS_OWNERDRAWFIXED | LBS_HASSTRINGS list box) the window of list.
// The window must be destroyed before list; it lets go of list when it is.
bool AttachCheckList(CCheckListBox& list, HWND control);

// The check list whose window window is, or null.
CCheckListBox* CheckListOfWindow(HWND window);

// The check of item index of a check list's window; 0 when window is no check list.
int CheckListItemCheck(HWND window, int index);

// Toggles item index of a check list's window as a click on its box does, the owner's
// notification included. False when window is no check list or has no such item.
bool ToggleCheckListItem(HWND window, int index);

// Draws the label of each item whose item data d has dimmed[d] set in the system's grey
// text colour, ticked or not; an empty vector dims none. An emptied list forgets it.
void DimCheckListItems(CCheckListBox& list, std::vector<bool> dimmed);

// Draws the system's warning icon, at the row's size, at the right end of each item whose
// item data d has marked[d] set; no label runs under it. An emptied list forgets it.
void MarkCheckListItems(CCheckListBox& list, std::vector<bool> marked);

// Attaches list to the dialog's control id at the first exchange, in either direction.
void DDX_Control(CDataExchange& dx, int id, CCheckListBox& list);

// Keeps a list from repainting while it is refilled, then repaints it whole.
class CheckListRedrawOff {
public:
    explicit CheckListRedrawOff(CCheckListBox& list);
    ~CheckListRedrawOff();
    CheckListRedrawOff(const CheckListRedrawOff&) = delete;
    CheckListRedrawOff& operator=(const CheckListRedrawOff&) = delete;

private:
    HWND m_window;  // borrowed
};
