#pragma once
// The Windows side of CCheckListBox: it borrows an owner-drawn list box window, whose
// data words hold the items' data, and keeps each row's tick in a vector of its own.

#include <windows.h>
#include <uxtheme.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/checklistbox.h"

struct CCheckListBox::Impl {
    HWND hwnd = nullptr;  // borrowed; the dialog owns the window
    WNDPROC listBoxProc = nullptr;  // the list box's own procedure while it is subclassed
    bool redrawOff = false;         // WM_SETREDRAW FALSE seen: a whole repaint follows
    HTHEME theme = nullptr;         // owned: the button style's check boxes; none when classic
    std::vector<bool> dimmed;       // by item data: labels drawn in grey
    std::vector<bool> marked;       // by item data: the warning icon at the row's right end
    HICON markIcon = nullptr;       // owned: the warning icon at markSize
    int markSize = 0;
    std::wstring accessibleName;    // what screen readers call the list; the platform's guess when empty
    std::string dimmedNote;         // what they hear first of a dimmed item
    std::wstring tickCount;         // what they are told of the ticks after many changed: "%1 of %2"
    bool announced = false;         // they were told something
    int heardRow = -1;              // the caret's row when its description was last given
    std::string heard;              // that description
    int anchor = -1;                // the row last toggled by a plain click or the space bar
    std::string typed;              // the hex digits typed so far, the last at typedAt
    DWORD typedAt = 0;

    // By position, the only record of each row's tick, and a copy of each row's data: a
    // walk over every row (Select All, Patch, its button's tip) then sends no message a
    // row. Kept in step by the list's own procedure while it sees every message, else by
    // CCheckListBox's calls, which are then the only ones to change the items.
    std::vector<std::uint8_t> ticks;
    std::vector<std::uint32_t> data;

    // What is in view, as last asked: any message the list's procedure sees but a read
    // may scroll or resize it, and the next tick shown asks again.
    bool viewKnown = false;
    int viewTop = 0, viewHeight = 0;
    RECT viewClient{};

    bool valid(int index) const { return index >= 0 && static_cast<std::size_t>(index) < ticks.size(); }
    // Follows in the vectors what message did to the items, the control's answer result.
    void follow(UINT message, WPARAM wParam, LPARAM lParam, LRESULT result);
    // Sends a message that changes the items, followed here unless the procedure does.
    LRESULT change(UINT message, WPARAM wParam, LPARAM lParam);
    // Repaints the row's check box if it is in view, and tells the platform of the change.
    void showCheck(int index);
};
