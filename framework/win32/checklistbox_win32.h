#pragma once
// The Windows side of CCheckListBox: it borrows an owner-drawn list box window and
// keeps each item's check state in its data word (checklistbox_word.h).

#include <windows.h>
#include <uxtheme.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/checklistbox.h"
#include "framework/win32/checklistbox_word.h"

static_assert(sizeof(ULONG_PTR) >= 8, "the check state lives in the upper half of the item data");

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

    // The data word of one item, as this list last wrote or read it, kept only while the
    // list's own procedure sees every message (it forgets the word on any that could
    // change the items): a fill or a walk then asks the control for each word once.
    mutable int knownIndex = -1;
    mutable ULONG_PTR knownWord = 0;
    // The known word is still to be written: while redraw is held off, an item's data
    // and tick go out in one write, made before the control's next message.
    mutable bool pending = false;
    // Each item's check by position, as the words hold them, kept in step by the list's
    // own procedure while it sees every message: a walk over every tick (Patch, its
    // button's tip) then sends no message an item.
    std::vector<std::uint8_t> checks;

    void know(int index, ULONG_PTR word) const
    {
        if (!listBoxProc)
            return;
        knownIndex = index;
        knownWord = word;
    }
    void forget() const { knownIndex = -1; }
    // Called by the list's procedure on every message, before anything else.
    void flush() const
    {
        if (!pending)
            return;
        pending = false;
        CallWindowProcA(listBoxProc, hwnd, LB_SETITEMDATA, static_cast<WPARAM>(knownIndex),
                        static_cast<LPARAM>(knownWord));
    }
    // Holds back the new word of the known item while redraw is off; false when it has
    // to be written now.
    bool holdBack(int index, ULONG_PTR word) const
    {
        if (!redrawOff || knownIndex != index)
            return false;
        knownWord = word;
        pending = true;
        if (static_cast<std::size_t>(index) < checks.size())
            const_cast<std::vector<std::uint8_t>&>(checks)[index] = static_cast<std::uint8_t>(CheckOfWord(word));
        return true;
    }

    ULONG_PTR raw(int index) const
    {
        if (index == knownIndex && index >= 0)
            return knownWord;
        const auto word = static_cast<ULONG_PTR>(SendMessageA(hwnd, LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
        if (word != static_cast<ULONG_PTR>(LB_ERR))
            know(index, word);
        return word;
    }
    // Sets an item's word now, or, while redraw is off, before the control's next
    // message; false on failure.
    bool write(int index, ULONG_PTR word) const
    {
        if (holdBack(index, word))
            return true;
        if (SendMessageA(hwnd, LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(word)) == LB_ERR)
            return false;
        know(index, word);
        return true;
    }
    // A new item's word is 0.
    int added(LRESULT position) const
    {
        if (position < 0)
            return -1;
        know(static_cast<int>(position), 0);
        return static_cast<int>(position);
    }
    // Repaints the item's check box if it is in view, and tells the platform of a tick
    // that changed there.
    void showCheck(int index, bool changed) const;
};
