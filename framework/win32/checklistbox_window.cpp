#include "framework/win32/checklistbox_window.h"

#include <uxtheme.h>
#include <vssym32.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "framework/win32/announce.h"
#include "framework/win32/checklistbox_accessible.h"
#include "framework/win32/checklistbox_input.h"
#include "framework/win32/checklistbox_query.h"
#include "framework/win32/checklistbox_tips.h"
#include "framework/win32/checklistbox_win32.h"
#include "framework/win32/dpi.h"
#include "framework/win32/gdi.h"
#include "framework/win32/libraries.h"
#include "framework/win32/winapp.h"

namespace {

// The check box's geometry at 96 DPI: an 11-pixel square image 1 pixel in from the row's
// left edge, and a click area 2 pixels wider than the image (CheckAreaWidth). Scaled to
// the screen.
int boxSize() { return ScaleToScreen(11); }
int boxInset() { return ScaleToScreen(1); }

int textHeight(HWND list)
{
    WindowDC dc(list);
    // With no font set the list draws with the device context's own.
    SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0)));
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc.get(), &metrics);
    return metrics.tmHeight;
}

int rowHeight(HWND list) { return std::max(textHeight(list), boxSize() + ScaleToScreen(1)); }

// An owner-drawn list box never measures a new font itself.
void remeasure(HWND list) { SendMessageA(list, LB_SETITEMHEIGHT, 0, MAKELPARAM(rowHeight(list), 0)); }

// The item under a point in client coordinates, or -1. Worked out from the fixed row
// height because LB_ITEMFROMPOINT gives only 16 bits of index.
int itemAt(HWND list, POINT point)
{
    RECT client;
    GetClientRect(list, &client);
    if (!PtInRect(&client, point))
        return -1;
    const LRESULT height = SendMessageA(list, LB_GETITEMHEIGHT, 0, 0);
    const LRESULT top = SendMessageA(list, LB_GETTOPINDEX, 0, 0);
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    if (height <= 0 || top < 0)
        return -1;
    const LRESULT index = top + point.y / height;
    return index < count ? static_cast<int>(index) : -1;
}

int checkBoxAt(HWND list, POINT point)
{
    const int index = itemAt(list, point);
    if (index < 0)
        return -1;
    RECT row;
    if (SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&row)) == LB_ERR)
        return -1;
    return point.x >= row.left && point.x < row.left + CheckAreaWidth() ? index : -1;
}

// Unticked: a framed white box. Ticked: the same with a check mark. Indeterminate: a
// grey box with a grey mark.
void drawCheckBox(HDC dc, int x, int y, int check, bool enabled)
{
    const bool dim = check == 2 || !enabled;
    const int size = boxSize(), line = ScaleToScreen(1);
    const RECT frame{x, y, x + size, y + size};
    FillRect(dc, &frame, GetSysColorBrush(enabled ? COLOR_3DDKSHADOW : COLOR_GRAYTEXT));
    const RECT inside{x + line, y + line, x + size - line, y + size - line};
    FillRect(dc, &inside, GetSysColorBrush(dim ? COLOR_3DFACE : COLOR_WINDOW));
    if (check == 0)
        return;
    // At 96 DPI the mark is seven columns three pixels tall from x = 2, their tops at
    // y = 2 + (4 - |x - 4|): down to the elbow, then up to the right. Each column of the
    // screen takes that drop at its centre, so a larger mark keeps a smooth slope.
    HBRUSH mark = GetSysColorBrush(dim ? COLOR_3DSHADOW : COLOR_WINDOWTEXT);
    const double dpi = ScreenDpi();
    const int height = ScaleToScreen(3);
    for (int column = ScaleToScreen(2); column < ScaleToScreen(9); ++column) {
        const double centre = std::clamp((column + 0.5) * 96.0 / dpi, 2.5, 8.5);
        const int top = static_cast<int>(std::lround((6.0 - std::abs(centre - 4.5)) * dpi / 96.0));
        const RECT stroke{x + column, y + top, x + column + 1, y + top + height};
        FillRect(dc, &stroke, mark);
    }
}

// Visual styles come from uxtheme, which is no protected system library: it is loaded by
// its full path the first time a list asks, and never imported.
struct ThemeCalls {
    decltype(&OpenThemeData) open;
    decltype(&CloseThemeData) close;
    decltype(&DrawThemeBackground) draw;
};

// Null when the system has no visual styles to give.
const ThemeCalls* themeCalls()
{
    return SystemFunctions<ThemeCalls>(L"uxtheme.dll", [](SystemLibrary& library, ThemeCalls& c) {
        library.Get(c.open, "OpenThemeData");
        library.Get(c.close, "CloseThemeData");
        library.Get(c.draw, "DrawThemeBackground");
    });
}

void closeTheme(CCheckListBox::Impl& impl)
{
    if (impl.theme)
        themeCalls()->close(impl.theme);
    impl.theme = nullptr;
}

// The style's own check boxes where one is active for the list. High contrast keeps the
// classic box, drawn in the user's own colours.
void openTheme(CCheckListBox::Impl& impl)
{
    closeTheme(impl);
    HIGHCONTRASTW contrast{sizeof contrast};
    if (SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
        (contrast.dwFlags & HCF_HIGHCONTRASTON))
        return;
    if (const ThemeCalls* calls = themeCalls())
        impl.theme = calls->open(impl.hwnd, L"Button");
}

// The theme's check box, normal state, in the same square as the classic one.
void drawThemedCheckBox(HTHEME theme, HDC dc, int x, int y, int check, bool enabled)
{
    const int base = check == 0 ? CBS_UNCHECKEDNORMAL : check == 1 ? CBS_CHECKEDNORMAL : CBS_MIXEDNORMAL;
    const int state = enabled ? base : base + (CBS_UNCHECKEDDISABLED - CBS_UNCHECKEDNORMAL);
    const RECT box{x, y, x + boxSize(), y + boxSize()};
    themeCalls()->draw(theme, dc, BP_CHECKBOX, state, &box, nullptr);
}

std::string itemText(HWND list, UINT index)
{
    const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, index, 0);
    if (length <= 0)
        return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT copied = SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

// The system's warning icon at size, as the shell scales it down; a plain load of the
// image at that size where the common controls have no such call.
HICON warningIcon(int size)
{
    using ScaleDown = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
    static const auto scaleDown = [] {
        const HMODULE controls = GetModuleHandleW(L"comctl32.dll");
        return controls ? reinterpret_cast<ScaleDown>(reinterpret_cast<void*>(GetProcAddress(controls, "LoadIconWithScaleDown")))
                        : nullptr;
    }();
    HICON icon = nullptr;
    if (scaleDown && SUCCEEDED(scaleDown(nullptr, MAKEINTRESOURCEW(32515) /* IDI_WARNING */, size, size, &icon)))
        return icon;
    return static_cast<HICON>(LoadImageW(nullptr, MAKEINTRESOURCEW(32515), IMAGE_ICON, size, size, 0));
}

// Every request repaints the whole row, focus included, so nothing depends on what
// an earlier request left on the screen.
void drawItem(const DRAWITEMSTRUCT& item, CCheckListBox::Impl& impl)
{
    HDC dc = item.hDC;
    const RECT row = item.rcItem;
    FillRect(dc, &row, GetSysColorBrush(COLOR_WINDOW));
    const bool focused = (item.itemState & ODS_FOCUS) != 0;
    if (item.itemID == static_cast<UINT>(-1)) {
        if (focused)
            DrawFocusRect(dc, &row);
        return;
    }
    const bool enabled = (item.itemState & ODS_DISABLED) == 0;
    const int check = impl.valid(static_cast<int>(item.itemID)) ? impl.ticks[item.itemID] : 0;
    const int height = row.bottom - row.top;
    const int boxX = row.left + boxInset(), boxY = row.top + std::max(0, (height - boxSize()) / 2);
    if (impl.theme)
        drawThemedCheckBox(impl.theme, dc, boxX, boxY, check, enabled);
    else
        drawCheckBox(dc, boxX, boxY, check, enabled);

    RECT label = row;
    label.left += CheckAreaWidth();
    const auto data = static_cast<std::uint32_t>(item.itemData);
    if (data < impl.marked.size() && impl.marked[data]) {
        const int size = std::max(1, height - 2);
        if (impl.markSize != size) {
            if (impl.markIcon)
                DestroyIcon(impl.markIcon);
            impl.markIcon = warningIcon(size);
            impl.markSize = size;
        }
        label.right -= size + 2;
        if (impl.markIcon)
            DrawIconEx(dc, label.right + 1, row.top + (height - size) / 2, impl.markIcon, size, size, 0, nullptr, DI_NORMAL);
    }
    const std::string text = itemText(item.hwndItem, item.itemID);
    SelectedObject font(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(item.hwndItem, WM_GETFONT, 0, 0)));
    const bool dim = !enabled || (data < impl.dimmed.size() && impl.dimmed[data]);
    TextColours colours(dc, GetSysColor(dim ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW),
                        TRANSPARENT);
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &label,
              DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (focused)
        DrawFocusRect(dc, &label);
}

LRESULT callListBox(CCheckListBox& list, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcA(list.impl().listBoxProc, window, message, wParam, lParam);
}

// What a list box answers without changing its items.
bool readsOnly(UINT message)
{
    switch (message) {
    case LB_GETITEMDATA:
    case LB_GETCOUNT:
    case LB_GETITEMRECT:
    case LB_GETTEXT:
    case LB_GETTEXTLEN:
    case LB_GETTOPINDEX:
    case LB_GETITEMHEIGHT:
    case LB_GETCARETINDEX:
        return true;
    default:
        return false;
    }
}

LRESULT handleMessage(CCheckListBox& list, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    static const UINT tickQuery = RegisterWindowMessageA(kCheckListTickMessage);
    if (message == tickQuery && tickQuery != 0)
        return list.GetCheck(static_cast<int>(wParam));
    LRESULT tipResult = 0;
    if (CheckListTipMessage(window, message, wParam, lParam, tipResult))
        return tipResult;
    if (message == WM_SETREDRAW)
        list.impl().redrawOff = wParam == FALSE;
    if (message == LB_RESETCONTENT) {
        list.impl().dimmed.clear();
        list.impl().heardRow = -1;  // what was heard was of other items
        list.impl().marked.clear();
    }
    if (message == ReflectedMessage()) {
        if (wParam == WM_DRAWITEM) {
            drawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), list.impl());
            return TRUE;
        }
        if (wParam == WM_MEASUREITEM) {
            reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = static_cast<UINT>(rowHeight(window));
            return TRUE;
        }
        return FALSE;
    }
    switch (message) {
    case WM_SETFONT: {
        const LRESULT result = callListBox(list, window, message, wParam, lParam);
        remeasure(window);
        return result;
    }
    case WM_THEMECHANGED:
        openTheme(list.impl());
        InvalidateRect(window, nullptr, TRUE);
        break;
    case WM_GETOBJECT:
        // Screen readers ask for the list's items and their ticks; other objects are the
        // list box's own.
        if (static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
            const LRESULT object = AccessibleCheckListObject(window, wParam, list.impl().accessibleName);
            if (object > 0)
                return object;
        }
        break;
    default:
        break;
    }
    LRESULT inputResult = 0;
    if (CheckListInput(list, window, message, wParam, lParam, inputResult))
        return inputResult;
    const LRESULT result = callListBox(list, window, message, wParam, lParam);
    list.impl().follow(message, wParam, lParam, result);
    return result;
}

// The list box's procedure while it is the window of a check list. The list's
// address is kept in the window's user data: the platform's subclassing helpers look
// their data up in a window property on every message, which costs a trip to the
// window system each time and would make filling a long list slow. Even reading the
// user data is such a trip under Wine, so the last window asked about is remembered.
thread_local HWND t_lastWindow = nullptr;
thread_local CCheckListBox* t_lastList = nullptr;

CCheckListBox* listOf(HWND window)
{
    if (window && window == t_lastWindow)
        return t_lastList;
    auto* list = reinterpret_cast<CCheckListBox*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (list) {
        t_lastWindow = window;
        t_lastList = list;
    }
    return list;
}

LRESULT CALLBACK checkListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CCheckListBox* list = listOf(window);
    if (!list)
        return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        if (t_lastWindow == window)
            t_lastWindow = nullptr;
        const WNDPROC own = list->impl().listBoxProc;
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        closeTheme(list->impl());
        if (list->impl().announced)
            ForgetAnnouncements(window);
        list->impl().announced = false;
        list->impl().heardRow = -1;
        if (list->impl().markIcon)
            DestroyIcon(list->impl().markIcon);
        list->impl().markIcon = nullptr;
        list->impl().markSize = 0;
        list->impl().hwnd = nullptr;
        list->impl().listBoxProc = nullptr;
        list->impl().ticks.clear();
        list->impl().data.clear();
        list->impl().viewKnown = false;
        list->impl().redrawOff = false;
        return CallWindowProcA(own, window, message, wParam, lParam);
    }
    // Any message but a read may scroll or resize the list, also while it is handled.
    const bool reads = readsOnly(message);
    if (!reads)
        list->impl().viewKnown = false;
    try {
        const LRESULT result = handleMessage(*list, window, message, wParam, lParam);
        if (!reads)
            list->impl().viewKnown = false;
        return result;
    } catch (...) {
        list->impl().viewKnown = false;
        AfxReportException(std::current_exception());
        if (message == WM_PAINT)
            ValidateRect(window, nullptr);
        return 0;
    }
}

}  // namespace

int CheckAreaWidth() { return boxSize() + ScaleToScreen(2); }

int CheckListItemAt(HWND list, POINT point) { return itemAt(list, point); }

CCheckListBox* CheckListOfWindow(HWND window) { return listOf(window); }

bool AttachCheckList(CCheckListBox& list, HWND control)
{
    if (!control || list.impl().hwnd || listOf(control))
        return false;
    CCheckListBox::Impl& impl = list.impl();
    impl.hwnd = control;
    SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&list));
    impl.listBoxProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&checkListProc)));
    openTheme(impl);
    const LRESULT count = SendMessageA(control, LB_GETCOUNT, 0, 0);
    impl.ticks.assign(count > 0 ? static_cast<std::size_t>(count) : 0, 0);
    impl.data.resize(impl.ticks.size());
    for (std::size_t i = 0; i < impl.data.size(); ++i)
        impl.data[i] = static_cast<std::uint32_t>(SendMessageA(control, LB_GETITEMDATA, i, 0));
    impl.viewKnown = false;
    // The list measured its rows when it was created, before anyone drew them.
    remeasure(control);
    InvalidateRect(control, nullptr, TRUE);
    return true;
}

int CheckListItemCheck(HWND window, int index)
{
    const CCheckListBox* list = listOf(window);
    return list ? list->GetCheck(index) : 0;
}

bool ToggleCheckListItem(HWND window, int index)
{
    CCheckListBox* list = listOf(window);
    if (!list || index < 0 || index >= list->GetCount())
        return false;
    ToggleCheckListRow(*list, window, index);
    return true;
}

int CheckListBoxAt(HWND list, POINT point) { return checkBoxAt(list, point); }

void NameCheckList(CCheckListBox& list, const std::wstring& name) { list.impl().accessibleName = name; }

namespace {

// Sets one of the per-item looks, repainting only when it changed.
void setLook(CCheckListBox::Impl& impl, std::vector<bool> CCheckListBox::Impl::*look, std::vector<bool> items)
{
    if (impl.*look == items)
        return;
    impl.*look = std::move(items);
    if (impl.hwnd)
        InvalidateRect(impl.hwnd, nullptr, FALSE);
}

}  // namespace

void DimCheckListItems(CCheckListBox& list, std::vector<bool> dimmed)
{
    setLook(list.impl(), &CCheckListBox::Impl::dimmed, std::move(dimmed));
}

void MarkCheckListItems(CCheckListBox& list, std::vector<bool> marked)
{
    setLook(list.impl(), &CCheckListBox::Impl::marked, std::move(marked));
}

void DDX_Control(CDataExchange& dx, int id, CCheckListBox& list)
{
    if (!list.impl().hwnd)
        AttachCheckList(list, dx.Control(id));
}

CheckListRedrawOff::CheckListRedrawOff(CCheckListBox& list) : m_window(list.impl().hwnd)
{
    if (m_window)
        SendMessageA(m_window, WM_SETREDRAW, FALSE, 0);
}

CheckListRedrawOff::~CheckListRedrawOff()
{
    if (m_window && IsWindow(m_window)) {
        SendMessageA(m_window, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(m_window, nullptr, TRUE);
        // Its items are new: screen readers read them again.
        NotifyWinEvent(EVENT_OBJECT_REORDER, m_window, OBJID_CLIENT, CHILDID_SELF);
    }
}
