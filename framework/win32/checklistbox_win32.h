#pragma once
// The Windows side of CCheckListBox: it borrows an owner-drawn list box window.
// Each item's data word carries the caller's 32-bit item data in its low half and the
// check state above it, so the state follows the item wherever insertion moves it.

#include <windows.h>

#include "framework/checklistbox.h"

static_assert(sizeof(ULONG_PTR) >= 8, "the check state lives in the upper half of the item data");

struct CCheckListBox::Impl {
    HWND hwnd = nullptr;  // borrowed; the dialog owns the window
    WNDPROC listBoxProc = nullptr;  // the list box's own procedure while it is subclassed

    ULONG_PTR raw(int index) const
    {
        return static_cast<ULONG_PTR>(SendMessageA(hwnd, LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
    }
    static int checkOf(ULONG_PTR raw) { return static_cast<int>((raw >> 32) & 0x3); }
    static ULONG_PTR withCheck(ULONG_PTR raw, int check)
    {
        return (raw & 0xFFFFFFFFull) | (static_cast<ULONG_PTR>(check & 0x3) << 32);
    }
    // Repaints the item's check box if it is in view, and tells the platform of a tick
    // that changed there.
    void showCheck(int index, bool changed) const;
};
