#include "framework/win32/checklistbox_tips.h"

#include <commctrl.h>
#include <windowsx.h>

#include "framework/win32/checklistbox_window.h"

namespace {

constexpr UINT_PTR kRowsTool = 1;
const char kTipsProperty[] = "Velquin.RowTips";

struct RowTips {
    explicit RowTips(CToolTip& owner) : tip(&owner) {}
    CToolTip* tip;  // borrowed; lives as long as the list
    int row = -1;   // under the mouse at its last move
    ToolTipText text;
};

RowTips* tipsOf(HWND list) { return static_cast<RowTips*>(GetPropA(list, kTipsProperty)); }

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
    if (!SetPropA(list, kTipsProperty, tips)) {
        delete tips;
        return false;
    }
    return true;
}

bool CheckListTipMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_MOUSEWHEEL:
    case WM_VSCROLL:
        // The rows move under the mouse: the tip goes until the mouse moves again.
        if (RowTips* tips = tipsOf(list)) {
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
        if (!tips || header->hwndFrom != tips->tip->GetSafeHwnd() || header->idFrom != kRowsTool)
            return false;
        if (header->code == TTN_GETDISPINFOA || header->code == TTN_GETDISPINFOW) {
            const int row = rowUnderCursor(list);
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
