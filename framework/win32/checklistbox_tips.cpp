#include "framework/win32/checklistbox_tips.h"

#include <commctrl.h>
#include <windowsx.h>

#include "framework/win32/checklistbox_window.h"

namespace {

constexpr UINT_PTR kRowsTool = 1;
constexpr UINT_PTR kCaretTool = 2;
constexpr UINT_PTR kCaretTimer = 1;
constexpr UINT kCaretRest = 1000;  // ms
const char kTipsProperty[] = "Velquin.RowTips";

struct RowTips {
    explicit RowTips(CToolTip& owner) : tip(&owner) {}
    CToolTip* tip;  // borrowed; lives as long as the list
    // The caret's tip is a tooltip of its own: one that tracks and one that follows the
    // mouse would take each other's place on one control.
    CToolTip caretTip;
    int row = -1;   // under the mouse at its last move
    int caretRow = -1;  // whose tip shows beside it, or -1
    bool caretTiming = false;  // the caret rests, and its tip is to come
    POINT lastMouse{};  // where the last move of the mouse over the list came to
    bool mouseSeen = false;
    ToolTipText text;
};

RowTips* tipsOf(HWND list) { return static_cast<RowTips*>(GetPropA(list, kTipsProperty)); }

// Every move of the mouse and every key comes here: the timer and the tip are only let go
// of when there is one.
void hideCaretTip(HWND list, RowTips& tips)
{
    if (tips.caretTiming) {
        KillTimer(list, kCaretTimer);
        tips.caretTiming = false;
    }
    if (tips.caretRow < 0)
        return;
    tips.caretRow = -1;
    tips.caretTip.Track(list, kCaretTool, {}, false);
}

void showCaretTip(HWND list, RowTips& tips)
{
    KillTimer(list, kCaretTimer);
    tips.caretTiming = false;
    const LRESULT caret = SendMessageA(list, LB_GETCARETINDEX, 0, 0);
    RECT row, client, shown;
    GetClientRect(list, &client);
    if (caret < 0 ||
        SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(caret), reinterpret_cast<LPARAM>(&row)) == LB_ERR ||
        !IntersectRect(&shown, &row, &client))
        return;
    // Where a hover's tip would stand: below the row, from its label.
    POINT at{row.left + CheckAreaWidth(), row.bottom};
    ClientToScreen(list, &at);
    tips.tip->Pop();
    tips.caretRow = static_cast<int>(caret);
    tips.caretTip.Track(list, kCaretTool, at, true);
}

int rowUnderCursor(HWND list)
{
    POINT point;
    if (!GetCursorPos(&point) || !ScreenToClient(list, &point))
        return -1;
    return CheckListItemAt(list, point);
}

}  // namespace

std::string DescribeCheckListItem(HWND list, int index)
{
    CheckListDescription request{};
    request.hdr.hwndFrom = list;
    request.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
    request.hdr.code = CLN_GETDESCRIPTION;
    request.item = index;
    SendMessageA(GetParent(list), WM_NOTIFY, request.hdr.idFrom, reinterpret_cast<LPARAM>(&request));
    return request.text;
}

bool ShowCheckListRowTips(HWND list, CToolTip& tip)
{
    if (!list || tipsOf(list))
        return false;
    RECT client;
    GetClientRect(list, &client);
    if (!tip.AddRectTool(list, kRowsTool, client))
        return false;
    auto* tips = new RowTips(tip);
    if (tips->caretTip.Create(GetAncestor(list, GA_ROOT)))
        tips->caretTip.AddTrackingTool(list, kCaretTool);
    if (!SetPropA(list, kTipsProperty, tips)) {
        delete tips;
        return false;
    }
    return true;
}

void ShowCheckListTipSoon(HWND list)
{
    if (RowTips* tips = tipsOf(list)) {
        hideCaretTip(list, *tips);
        // The rows may have moved under the mouse: its tip waits for the mouse to move.
        tips->tip->Pop();
        tips->row = -1;
        tips->caretTiming = SetTimer(list, kCaretTimer, kCaretRest, nullptr) != 0;
    }
}

void RefreshCheckListCaretTip(HWND list)
{
    RowTips* tips = tipsOf(list);
    if (tips && tips->caretRow >= 0)
        tips->caretTip.Refresh();
}

bool CheckListTipMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    // The tips are looked up only for the messages that concern them: a lookup is a trip
    // to the window system, and a fill sends the list many thousand messages.
    switch (message) {
    case WM_TIMER: {
        RowTips* tips = wParam == kCaretTimer ? tipsOf(list) : nullptr;
        if (!tips)
            return false;
        showCaretTip(list, *tips);
        result = 0;
        return true;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KILLFOCUS:
        if (RowTips* tips = tipsOf(list))
            hideCaretTip(list, *tips);
        return false;
    case WM_MOUSEWHEEL:
    case WM_VSCROLL:
        // The rows move under the mouse: the tip goes until the mouse moves again.
        if (RowTips* tips = tipsOf(list)) {
            hideCaretTip(list, *tips);
            tips->tip->Pop();
            tips->row = -1;
        }
        return false;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: {
        RowTips* tips = tipsOf(list);
        if (!tips)
            return false;
        // A window that appears or goes under a mouse at rest makes a move too, at the
        // same point: no move of the user's, to show a tip for or to hide the caret's.
        if (message == WM_MOUSEMOVE) {
            const POINT mouse{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (tips->mouseSeen && mouse.x == tips->lastMouse.x && mouse.y == tips->lastMouse.y)
                return false;
            tips->lastMouse = mouse;
            tips->mouseSeen = true;
        }
        hideCaretTip(list, *tips);
        // Another row under a tip that shows: the tip goes, and the new row's comes after
        // the usual delay. The tooltip itself sees one tool for the whole list.
        const int row = CheckListItemAt(list, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (message == WM_MOUSEMOVE && row != tips->row) {
            tips->row = row;
            if (tips->tip->Showing())
                tips->tip->Pop();
        }
        tips->tip->Relay(list, message, wParam, lParam);
        return false;
    }
    case WM_NOTIFY: {
        RowTips* tips = tipsOf(list);
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        const bool caret = tips && header->hwndFrom == tips->caretTip.GetSafeHwnd() && header->idFrom == kCaretTool;
        if (!tips || (!caret && (header->hwndFrom != tips->tip->GetSafeHwnd() || header->idFrom != kRowsTool)))
            return false;
        if (header->code == TTN_GETDISPINFOA || header->code == TTN_GETDISPINFOW) {
            const int row = caret ? tips->caretRow : rowUnderCursor(list);
            if (!caret)
                tips->row = row;
            AnswerToolTipText(lParam, row < 0 ? std::string() : DescribeCheckListItem(list, row), tips->text);
        }
        result = 0;
        return true;
    }
    case WM_DESTROY: {
        delete tipsOf(list);
        RemovePropA(list, kTipsProperty);
        return false;
    }
    default:
        return false;
    }
}
