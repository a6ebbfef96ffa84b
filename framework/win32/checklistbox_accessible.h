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

class CCheckListBox;

// What screen readers hear first of an item drawn dimmed (DimCheckListItems), before its
// description: what the dimming means.
void NoteDimmedCheckListItems(CCheckListBox& list, const std::string& note);
// What they are told after a command that ticks many items at once: format with %1 for
// the items ticked and %2 for all. Told after a Shift range, and when the owner calls
// AnnounceCheckListTicks.
void TellCheckListTicksAs(CCheckListBox& list, const std::wstring& format);
void AnnounceCheckListTicks(CCheckListBox& list);
// For the owner, where the descriptions it gives may have changed: screen readers are told
// when the caret's item has another description than when they were last given it.
void CheckListDescriptionsChanged(CCheckListBox& list);
