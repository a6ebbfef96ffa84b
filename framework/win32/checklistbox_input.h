#pragma once
// How the user works a check list: a click in a check box or the space bar toggles a row,
// with Shift every row from the last one toggled; hex digits typed move the caret to the
// row that holds that offset. Used by the check list's window procedure.

#include <windows.h>

#include "framework/checklistbox.h"

// Called by the check list's procedure with each message it does not handle itself:
// true when the message was the input's, with result what the procedure returns.
bool CheckListInput(CCheckListBox& list, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Toggles row as a plain click on its box does, and makes it the anchor of ranges.
void ToggleCheckListRow(CCheckListBox& list, HWND window, int row);

// Moves the caret to row, scrolled into view, and shows its tip once it rests, as for a
// move by keyboard.
void MoveCheckListCaret(CCheckListBox& list, int row);
