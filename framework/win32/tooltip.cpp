#include "framework/win32/tooltip.h"

#include <commctrl.h>

CToolTip::~CToolTip()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

bool CToolTip::Create(HWND owner)
{
    m_hWnd = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE)), nullptr);
    if (!m_hWnd)
        return false;
    // As wide as the screen's work area allows: lines break at "\n" only.
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    SendMessageA(m_hWnd, TTM_SETMAXTIPWIDTH, 0, work.right - work.left);
    // Hashes take a while to compare by eye, and may still be on their way: the tip stays
    // as long as the control lets it, not the usual few seconds.
    SendMessageA(m_hWnd, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(0x7FFF, 0));
    return true;
}

bool CToolTip::AddRectTool(HWND window, UINT_PTR id, const RECT& rect)
{
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window;
    tool.uId = id;
    tool.rect = rect;
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    return m_hWnd && SendMessageA(m_hWnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
}

bool CToolTip::AddWindowTool(HWND window, HWND child)
{
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(child);
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    return m_hWnd && child && SendMessageA(m_hWnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
}

bool CToolTip::AddTrackingTool(HWND window, UINT_PTR id)
{
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = window;
    tool.uId = id;
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    return m_hWnd && SendMessageA(m_hWnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
}

void CToolTip::Track(HWND window, UINT_PTR id, POINT screen, bool show)
{
    if (!m_hWnd)
        return;
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window;
    tool.uId = id;
    if (show)
        SendMessageA(m_hWnd, TTM_TRACKPOSITION, 0, MAKELPARAM(screen.x, screen.y));
    SendMessageA(m_hWnd, TTM_TRACKACTIVATE, show ? TRUE : FALSE, reinterpret_cast<LPARAM>(&tool));
}

bool CToolTip::AddControlRect(HWND dialog, int id)
{
    RECT rect;
    const HWND control = GetDlgItem(dialog, id);
    if (!control || !GetWindowRect(control, &rect))
        return false;
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return AddRectTool(dialog, static_cast<UINT_PTR>(id), rect);
}

void CToolTip::Relay(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!m_hWnd)
        return;
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = static_cast<DWORD>(GetMessageTime());
    GetCursorPos(&msg.pt);
    SendMessageA(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
}

void CToolTip::Pop()
{
    if (m_hWnd)
        SendMessageA(m_hWnd, TTM_POP, 0, 0);
}

void CToolTip::Refresh()
{
    if (!Showing())
        return;
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    if (!SendMessageA(m_hWnd, TTM_GETCURRENTTOOLA, 0, reinterpret_cast<LPARAM>(&tool)))
        return;
    // A callback tool asks for its text again only when told its text is a callback anew:
    // TTM_UPDATE shows the text it has.
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    SendMessageA(m_hWnd, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
}

bool AnswerToolTipText(LPARAM notification, const std::string& text, ToolTipText& buffer)
{
    const auto* header = reinterpret_cast<const NMHDR*>(notification);
    if (header->code == TTN_GETDISPINFOW) {
        // Every text here is plain ASCII: numbers, hex and fixed words.
        buffer.wide.assign(text.begin(), text.end());
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(notification);
        info->lpszText = &buffer.wide[0];
        info->hinst = nullptr;
        return true;
    }
    if (header->code == TTN_GETDISPINFOA) {
        buffer.narrow = text;
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(notification);
        info->lpszText = &buffer.narrow[0];
        info->hinst = nullptr;
        return true;
    }
    return false;
}
