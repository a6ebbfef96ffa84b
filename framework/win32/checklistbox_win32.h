#pragma once
// The Windows side of CCheckListBox: it borrows an owner-drawn list box window and
// keeps each item's check state in its data word (checklistbox_word.h).

#include <windows.h>

#include "framework/checklistbox.h"
#include "framework/win32/checklistbox_word.h"

static_assert(sizeof(ULONG_PTR) >= 8, "the check state lives in the upper half of the item data");

struct CCheckListBox::Impl {
    HWND hwnd = nullptr;  // borrowed; the dialog owns the window
    WNDPROC listBoxProc = nullptr;  // the list box's own procedure while it is subclassed

    ULONG_PTR raw(int index) const
    {
        return static_cast<ULONG_PTR>(SendMessageA(hwnd, LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
    }
    // Repaints the item's check box if it is in view, and tells the platform of a tick
    // that changed there.
    void showCheck(int index, bool changed) const;
};
