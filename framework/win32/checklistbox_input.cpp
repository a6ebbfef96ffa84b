#include "framework/win32/checklistbox_input.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "framework/win32/checklistbox_accessible.h"
#include "framework/win32/checklistbox_tips.h"
#include "framework/win32/checklistbox_win32.h"
#include "framework/win32/checklistbox_window.h"

namespace {

constexpr DWORD kTypingPause = 1000;  // ms between digits before typing starts afresh
constexpr std::size_t kMostDigits = 8;

// Where a toggle is told, and how.
struct Owner {
    explicit Owner(HWND window)
        : window(window), owner(GetParent(window)), code(MAKEWPARAM(GetDlgCtrlID(window), CLBN_CHKCHANGE))
    {
    }
    void tell() const { SendMessageA(owner, WM_COMMAND, code, reinterpret_cast<LPARAM>(window)); }
    // Once a stroke's toggles are all told.
    void toldAll() const
    {
        NMHDR done{window, static_cast<UINT_PTR>(GetDlgCtrlID(window)), CLN_TICKSCHANGED};
        SendMessageA(owner, WM_NOTIFY, done.idFrom, reinterpret_cast<LPARAM>(&done));
    }
    HWND window, owner;  // borrowed
    WPARAM code;
};

int caretOf(HWND window)
{
    const LRESULT caret = SendMessageA(window, LB_GETCARETINDEX, 0, 0);
    return caret >= 0 && caret < SendMessageA(window, LB_GETCOUNT, 0, 0) ? static_cast<int>(caret) : -1;
}

// Gives every row from the anchor to row, both included, the tick a plain click would
// give row; the anchor stays. Each row that changes is told as a toggle is.
void tickRange(CCheckListBox& list, HWND window, int row)
{
    const int state = list.GetCheck(row) == 0 ? 1 : 0;
    const int first = std::min(list.impl().anchor, row), last = std::max(list.impl().anchor, row);
    const Owner owner(window);
    for (int i = first; i <= last; ++i) {
        if (list.GetCheck(i) == state)
            continue;
        list.SetCheck(i, state);
        owner.tell();
    }
    owner.toldAll();
    AnnounceCheckListTicks(list);
}

// What the list box itself does when a row is clicked, which moves its caret: a list
// without selection refuses to have it moved any other way.
void moveCaret(CCheckListBox& list, HWND window, int row)
{
    const LRESULT top = SendMessageA(window, LB_GETTOPINDEX, 0, 0);
    const LRESULT height = SendMessageA(window, LB_GETITEMHEIGHT, 0, 0);
    RECT client, item;
    GetClientRect(window, &client);
    if (height > 0 && (row < top || row >= top + client.bottom / height))
        SendMessageA(window, LB_SETTOPINDEX, static_cast<WPARAM>(row), 0);
    if (SendMessageA(window, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) == LB_ERR)
        return;
    const LPARAM point = MAKELPARAM(item.left + CheckAreaWidth() + 1, (item.top + item.bottom) / 2);
    CallWindowProcA(list.impl().listBoxProc, window, WM_LBUTTONDOWN, 0, point);
    CallWindowProcA(list.impl().listBoxProc, window, WM_LBUTTONUP, 0, point);
}

// Moves the caret to the row the owner finds for what is typed; nothing typed: stays.
void findTyped(CCheckListBox& list, HWND window)
{
    const std::string& typed = list.impl().typed;
    if (typed.empty())
        return;
    CheckListFind find{};
    find.hdr.hwndFrom = window;
    find.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(window));
    find.hdr.code = CLN_FINDROW;
    find.value = static_cast<std::uint32_t>(std::strtoul(typed.c_str(), nullptr, 16));
    find.row = -1;
    SendMessageA(GetParent(window), WM_NOTIFY, find.hdr.idFrom, reinterpret_cast<LPARAM>(&find));
    if (find.row >= 0 && find.row < list.GetCount() && find.row != caretOf(window))
        moveCaret(list, window, find.row);
    ShowCheckListTipSoon(window);
}

bool isHex(WPARAM c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Keys that leave what is typed as it is: the modifiers, and those that type digits or
// take one away, whose characters follow.
bool keepsTyping(WPARAM key)
{
    switch (key) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_CAPITAL:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU:
    case VK_PACKET:
    case VK_BACK:
        return true;
    default:
        return (key >= '0' && key <= '9') || (key >= 'A' && key <= 'F') || (key >= VK_NUMPAD0 && key <= VK_NUMPAD9);
    }
}

}  // namespace

void MoveCheckListCaret(CCheckListBox& list, int row)
{
    const HWND window = list.impl().hwnd;
    if (!window || row < 0 || row >= list.GetCount())
        return;
    if (row != caretOf(window))
        moveCaret(list, window, row);
    ShowCheckListTipSoon(window);
}

void ToggleCheckListRow(CCheckListBox& list, HWND window, int row)
{
    list.SetCheck(row, list.GetCheck(row) == 0 ? 1 : 0);
    list.impl().anchor = row;
    const Owner owner(window);
    owner.tell();
    owner.toldAll();
}

bool CheckListInput(CCheckListBox& list, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    CCheckListBox::Impl& impl = list.impl();
    switch (message) {
    case LB_RESETCONTENT:
        impl.anchor = -1;
        impl.typed.clear();
        return false;
    case WM_KILLFOCUS:
        impl.typed.clear();
        return false;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        // Each click of a double click toggles, as the box is a button, not a label; the
        // second one is a plain click, Shift or not.
        impl.typed.clear();
        const int row = CheckListBoxAt(window, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        result = CallWindowProcA(impl.listBoxProc, window, message, wParam, lParam);  // focus and caret
        if (row < 0)
            return true;
        if (message == WM_LBUTTONDOWN && (wParam & MK_SHIFT) && impl.anchor >= 0 && impl.anchor < list.GetCount())
            tickRange(list, window, row);
        else
            ToggleCheckListRow(list, window, row);
        return true;
    }
    case WM_KEYDOWN: {
        if (!keepsTyping(wParam))
            impl.typed.clear();
        if (wParam == VK_F8) {
            // The owner's to act on: a key of its own commands.
            CheckListKey key{{window, static_cast<UINT_PTR>(GetDlgCtrlID(window)), CLN_COMMANDKEY}, VK_F8,
                             GetKeyState(VK_SHIFT) < 0};
            SendMessageA(GetParent(window), WM_NOTIFY, key.hdr.idFrom, reinterpret_cast<LPARAM>(&key));
            result = 0;
            return true;
        }
        if (wParam == VK_SPACE) {
            result = 0;
            // A held key repeats: one toggle a press.
            const int caret = caretOf(window);
            if ((lParam & (1 << 30)) || caret < 0)
                return true;
            if (GetKeyState(VK_SHIFT) < 0 && impl.anchor >= 0 && impl.anchor < list.GetCount())
                tickRange(list, window, caret);
            else
                ToggleCheckListRow(list, window, caret);
            return true;
        }
        const int before = caretOf(window);
        result = CallWindowProcA(impl.listBoxProc, window, message, wParam, lParam);
        if (caretOf(window) != before)
            ShowCheckListTipSoon(window);
        return true;
    }
    case WM_CHAR: {
        result = 0;
        // As a character a space would move the caret to the next label starting with
        // one, which is every label.
        if (wParam == ' ')
            return true;
        const DWORD now = GetTickCount();
        if (now - impl.typedAt > kTypingPause)
            impl.typed.clear();
        if (wParam == '\b') {
            if (!impl.typed.empty()) {
                impl.typed.pop_back();
                impl.typedAt = now;
                findTyped(list, window);
            }
            return true;
        }
        if (!isHex(wParam)) {
            impl.typed.clear();
            return false;
        }
        if (impl.typed.size() >= kMostDigits)
            impl.typed.clear();
        impl.typed += static_cast<char>(wParam);
        impl.typedAt = now;
        findTyped(list, window);
        return true;
    }
    default:
        return false;
    }
}
