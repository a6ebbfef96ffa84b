#include "framework/win32/checklistbox_win32.h"

#include <algorithm>

CCheckListBox::CCheckListBox() : m_impl(new Impl) {}
CCheckListBox::~CCheckListBox() = default;

void CCheckListBox::Impl::follow(UINT message, WPARAM wParam, LPARAM lParam, LRESULT result)
{
    switch (message) {
    case LB_RESETCONTENT:
        ticks.clear();
        data.clear();
        break;
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
        // A sorted list box puts an added label at its sorted place, which it returns.
        if (result >= 0 && static_cast<std::size_t>(result) <= ticks.size()) {
            ticks.insert(ticks.begin() + result, 0);
            data.insert(data.begin() + result, 0);
        }
        break;
    case LB_DELETESTRING:
        if (result >= 0 && wParam < ticks.size()) {
            ticks.erase(ticks.begin() + static_cast<std::ptrdiff_t>(wParam));
            data.erase(data.begin() + static_cast<std::ptrdiff_t>(wParam));
        }
        break;
    case LB_SETITEMDATA:
        if (result == LB_ERR)
            break;
        if (static_cast<int>(wParam) == -1)
            std::fill(data.begin(), data.end(), static_cast<std::uint32_t>(lParam));
        else if (wParam < data.size())
            data[wParam] = static_cast<std::uint32_t>(lParam);
        break;
    default: break;
    }
}

LRESULT CCheckListBox::Impl::change(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!hwnd)
        return LB_ERR;
    const LRESULT result = SendMessageA(hwnd, message, wParam, lParam);
    if (!listBoxProc)
        follow(message, wParam, lParam, result);
    return result;
}

void CCheckListBox::Impl::showCheck(int index)
{
    // Only rows in view are repainted and announced: whole lists are ticked at once. A
    // screen reader speaks of what the user is on, which the list keeps in view, and asks
    // for any other row's state when it gets there. What is in view is asked once, not a
    // row: nothing can scroll the list between two ticks without a message.
    if (!viewKnown) {
        viewTop = static_cast<int>(SendMessageA(hwnd, LB_GETTOPINDEX, 0, 0));
        viewHeight = static_cast<int>(SendMessageA(hwnd, LB_GETITEMHEIGHT, 0, 0));
        if (!GetClientRect(hwnd, &viewClient))
            viewClient = RECT{};
        viewKnown = listBoxProc != nullptr;
    }
    if (viewHeight <= 0 || viewTop < 0 || index < viewTop)
        return;
    const long long y = static_cast<long long>(index - viewTop) * viewHeight;
    if (y >= viewClient.bottom)
        return;
    const RECT row{viewClient.left, static_cast<LONG>(y), viewClient.right, static_cast<LONG>(y + viewHeight)};
    InvalidateRect(hwnd, &row, FALSE);
    NotifyWinEvent(EVENT_OBJECT_STATECHANGE, hwnd, OBJID_CLIENT, index + 1);
}

void CCheckListBox::ResetContent() { m_impl->change(LB_RESETCONTENT, 0, 0); }

void CCheckListBox::InitStorage(int items, std::size_t bytes)
{
    // Only a hint: when the control cannot reserve, the insertions report the shortage.
    SendMessageA(m_impl->hwnd, LB_INITSTORAGE, static_cast<WPARAM>(items), static_cast<LPARAM>(bytes));
    if (items > 0) {
        m_impl->ticks.reserve(m_impl->ticks.size() + static_cast<std::size_t>(items));
        m_impl->data.reserve(m_impl->data.size() + static_cast<std::size_t>(items));
    }
}

int CCheckListBox::AddString(const char* label)
{
    const LRESULT at = m_impl->change(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label));
    return at < 0 ? -1 : static_cast<int>(at);
}

int CCheckListBox::AppendString(const char* label)
{
    // A sorted list box inserts at the given place without sorting.
    const LRESULT at = m_impl->change(LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(label));
    return at < 0 ? -1 : static_cast<int>(at);
}

int CCheckListBox::SetItemData(int index, std::uint32_t data)
{
    if (!m_impl->valid(index))
        return -1;
    return m_impl->change(LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)) == LB_ERR ? -1 : 0;
}

std::uint32_t CCheckListBox::GetItemData(int index) const
{
    return m_impl->valid(index) ? m_impl->data[static_cast<std::size_t>(index)] : 0xFFFFFFFFu;
}

int CCheckListBox::GetCount() const { return static_cast<int>(m_impl->ticks.size()); }

void CCheckListBox::SetCheck(int index, int check)
{
    if (!m_impl->valid(index))
        return;
    std::uint8_t& tick = m_impl->ticks[static_cast<std::size_t>(index)];
    const auto now = static_cast<std::uint8_t>(check & 0x3);
    if (tick == now)
        return;
    tick = now;
    // While the list is refilled out of sight, the whole of it is repainted, and screen
    // readers are told to read it again, when redraw comes back.
    if (!m_impl->redrawOff)
        m_impl->showCheck(index);
}

int CCheckListBox::GetCheck(int index) const
{
    return m_impl->valid(index) ? m_impl->ticks[static_cast<std::size_t>(index)] : 0;
}

std::string CCheckListBox::GetText(int index) const
{
    LRESULT n = SendMessageA(m_impl->hwnd, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (n < 0)
        return {};
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    n = SendMessageA(m_impl->hwnd, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return text;
}
