#include "tests/support/listhost.h"

#include <stdexcept>

namespace support {

namespace {

constexpr const char* kClassName = "VelquinListHost";
constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_BORDER | WS_TABSTOP | LBS_SORT |
                             LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOSEL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;

// An owner-drawn list box asks its parent for the row height.
LRESULT CALLBACK hostProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_MEASUREITEM) {
        reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = 16;
        return TRUE;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

ListBoxHost::ListBoxHost(bool shown)
{
    static const ATOM atom = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = hostProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kClassName;
        return RegisterClassA(&wc);
    }();
    if (!atom)
        throw std::runtime_error("cannot register the list host's window class");
    m_window = CreateWindowA(kClassName, "Velquin list host", WS_OVERLAPPEDWINDOW, 0, 0, 320, 400, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (m_window)
        m_list = CreateWindowA("LISTBOX", "", kListStyle, 10, 10, 260, 300, m_window, reinterpret_cast<HMENU>(1013),
                               GetModuleHandleA(nullptr), nullptr);
    if (!m_list) {
        if (m_window)
            DestroyWindow(m_window);
        throw std::runtime_error("cannot create the list box");
    }
    if (shown) {
        ShowWindow(m_window, SW_SHOWNOACTIVATE);
        UpdateWindow(m_window);
    }
}

ListBoxHost::~ListBoxHost() { DestroyWindow(m_window); }

}  // namespace support
