#pragma once
// What a check list says of each item beyond its label: a description its owner gives
// when asked, shown as the row's tooltip while the mouse rests on it and read by screen
// readers as the item's accessible description.

#include <windows.h>

#include <string>

#include "framework/win32/tooltip.h"

// WM_NOTIFY code a check list sends its owner for an item's description: lParam points to
// a CheckListDescription whose text the owner fills in; it stays empty when the owner
// does not answer.
constexpr UINT CLN_GETDESCRIPTION = 0x7FFF0001;  // positive: the common controls' codes are all negative

struct CheckListDescription {
    NMHDR hdr;
    int item;  // 0-based position
    std::string text;
};

// Asks list's owner for the description of the item at position index.
std::string DescribeCheckListItem(HWND list, int index);

// Shows the description of the row under the mouse in tip, after the usual delay, and
// again whenever the mouse comes to another row. tip must live as long as list.
bool ShowCheckListRowTips(HWND list, CToolTip& tip);

// Shows the caret row's description beside it once the caret has rested for a second, as
// the mouse shows a row's: for a caret moved by keyboard. Any key, click or move of the
// mouse hides it again.
void ShowCheckListTipSoon(HWND list);

// The caret row's tip, if it shows, asks for its description again and shows it in place.
void RefreshCheckListCaretTip(HWND list);

// Called by the check list's procedure with every message, first: true when the message
// was the tips' own, with result what the procedure returns.
bool CheckListTipMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
