#pragma once
// What a screen reader learns of a check list: the platform's own object for the list
// box, with every item a check box that has its label as name and its owner's
// description (checklistbox_tips.h) as description, says whether it is ticked, and is
// ticked or unticked by its default action.

#include <windows.h>

#include <string>

// The answer to WM_GETOBJECT for OBJID_CLIENT from the window of a check list, which has
// the name given (the platform's guess when empty): a reference to its accessible object,
// or 0 or less when there is none to give.
LRESULT AccessibleCheckListObject(HWND window, WPARAM wParam, const std::wstring& name);
