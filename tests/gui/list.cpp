// The hunk list: its rows, their checks, scrolling a row into view, clicking a row and
// what its check box shows.

#include "app.h"

#include "framework/win32/checklistbox_query.h"

namespace gui {

namespace {

int tickOf(HWND box, LRESULT row)
{
    static const UINT query = RegisterWindowMessageA(kCheckListTickMessage);
    return static_cast<int>(send(box, query, static_cast<WPARAM>(row)));
}

}  // namespace

std::vector<ListItem> App::list() const
{
    HWND box = item(IDC_HUNK_LIST);
    const LRESULT count = send(box, LB_GETCOUNT);
    if (count < 0)
        throw DriverError("the list does not give its count");
    std::vector<ListItem> items;
    for (LRESULT i = 0; i < count; ++i) {
        ListItem it;
        // Asked in UTF-16: between processes Wine hands LB_GETTEXT over as wide text.
        const LRESULT length = sendWide(box, LB_GETTEXTLEN, i);
        if (length < 0 || length > 1000)
            throw DriverError("bad label length");
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        const LRESULT got = sendWide(box, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
        for (wchar_t c : text)
            it.label += c < 0x80 ? static_cast<char>(c) : '?';
        it.data = static_cast<std::uint32_t>(send(box, LB_GETITEMDATA, i));
        it.check = tickOf(box, i);
        items.push_back(it);
    }
    return items;
}

std::vector<int> App::checks() const
{
    const LRESULT count = send(item(IDC_HUNK_LIST), LB_GETCOUNT);
    std::vector<int> out;
    for (int i = 0; i < count; ++i)
        out.push_back(check(i));
    return out;
}

int App::check(int index) const
{
    return tickOf(item(IDC_HUNK_LIST), index);
}

void App::showRow(int index)
{
    // As a person would: the scroll bar's arrows, one line a click.
    HWND box = item(IDC_HUNK_LIST);
    // The scroll bar runs down the right of the client area, as tall as it.
    RECT inner;
    GetClientRect(box, &inner);
    MapWindowPoints(box, nullptr, reinterpret_cast<POINT*>(&inner), 2);
    const int arrowX = inner.right + GetSystemMetrics(SM_CXVSCROLL) / 2;
    const int arrowHeight = GetSystemMetrics(SM_CYVSCROLL);
    // The scroll bar holds the mouse from a click on its arrow until it has taken the
    // button's release; the list has scrolled by then already.
    auto mouseLetGo = [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(m_info.dwThreadId, &info) && !info.hwndCapture;
    };
    for (int tries = 0; tries < 100; ++tries) {
        const int top = static_cast<int>(send(box, LB_GETTOPINDEX));
        const int height = static_cast<int>(send(box, LB_GETITEMHEIGHT, 0));
        RECT client;
        GetClientRect(box, &client);
        const int rows = height > 0 ? client.bottom / height : 0;
        if (index >= top && index < top + rows)
            return;
        const bool down = index >= top + rows;
        const POINT arrow{arrowX, down ? inner.bottom - arrowHeight / 2 : inner.top + arrowHeight / 2};
        clickScreen(box, arrow);
        if (!waitUntil([&] { return send(box, LB_GETTOPINDEX) != top; }, 2000))
            throw DriverError("the list does not scroll to row " + std::to_string(index));
        if (!waitUntil(mouseLetGo, 2000))
            throw DriverError("the scroll bar does not let the mouse go after a click on its arrow");
    }
    throw DriverError("row " + std::to_string(index) + " does not come into view");
}

RECT App::rowRect(int index) const
{
    HWND box = item(IDC_HUNK_LIST);
    const int top = static_cast<int>(send(box, LB_GETTOPINDEX));
    const int height = static_cast<int>(send(box, LB_GETITEMHEIGHT, 0));
    RECT client;
    GetClientRect(box, &client);
    RECT row{0, (index - top) * height, client.right, (index - top + 1) * height};
    if (row.top < 0 || row.bottom > client.bottom)
        throw DriverError("row " + std::to_string(index) + " is not in view");
    return row;
}

void App::clickRow(int index, int x, int clicks, Click how)
{
    // Two single clicks on one row in quick succession would make a double click.
    const DWORD pause = GetDoubleClickTime() + 100;
    if (index == m_lastRow && GetTickCount() - m_lastClick < pause)
        Sleep(pause - (GetTickCount() - m_lastClick));  // stays: only time ends a double-click interval
    showRow(index);
    const RECT row = rowRect(index);
    clickAt(item(IDC_HUNK_LIST), POINT{x, (row.top + row.bottom) / 2}, clicks, how);
    m_lastRow = index;
    m_lastClick = GetTickCount();
    settle();
}

Pixels App::checkBoxPixels(int index) const
{
    // The inside of the 11-pixel box only: the focus rectangle runs along the row's edges.
    const RECT row = rowRect(index);
    const int middle = (row.top + row.bottom) / 2;
    return capture(item(IDC_HUNK_LIST), RECT{3, middle - 3, 10, middle + 4});
}

}  // namespace gui
