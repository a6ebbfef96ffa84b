#include "framework/win32/checklistbox_win32.h"

CCheckListBox::CCheckListBox() : m_impl(new Impl) {}
CCheckListBox::~CCheckListBox() = default;

void CCheckListBox::Impl::showCheck(int index, bool changed) const
{
    // Only rows in view are repainted and announced: each costs a trip to the window
    // system, and whole lists are ticked at once. A screen reader speaks of what the user
    // is on, which the list keeps in view, and asks for any other row's state when it
    // gets there.
    RECT rc, client, visible;
    if (SendMessageA(hwnd, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rc)) == LB_ERR ||
        !GetClientRect(hwnd, &client) || !IntersectRect(&visible, &rc, &client))
        return;
    InvalidateRect(hwnd, &visible, FALSE);
    if (changed)
        NotifyWinEvent(EVENT_OBJECT_STATECHANGE, hwnd, OBJID_CLIENT, index + 1);
}

void CCheckListBox::ResetContent() { SendMessageA(m_impl->hwnd, LB_RESETCONTENT, 0, 0); }

void CCheckListBox::InitStorage(int items, std::size_t bytes)
{
    // Only a hint: when the control cannot reserve, the insertions report the shortage.
    SendMessageA(m_impl->hwnd, LB_INITSTORAGE, static_cast<WPARAM>(items), static_cast<LPARAM>(bytes));
}

int CCheckListBox::AddString(const char* label)
{
    return m_impl->added(SendMessageA(m_impl->hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label)));
}

int CCheckListBox::AppendString(const char* label)
{
    // A sorted list box inserts at the given place without sorting.
    return m_impl->added(
        SendMessageA(m_impl->hwnd, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(label)));
}

int CCheckListBox::SetItemData(int index, std::uint32_t data)
{
    ULONG_PTR old = m_impl->raw(index);
    if (old == static_cast<ULONG_PTR>(LB_ERR))
        return -1;
    return m_impl->write(index, WordWithItemData(old, data)) ? 0 : -1;
}

std::uint32_t CCheckListBox::GetItemData(int index) const
{
    return ItemDataOfWord(m_impl->raw(index));
}

int CCheckListBox::GetCount() const
{
    LRESULT n = SendMessageA(m_impl->hwnd, LB_GETCOUNT, 0, 0);
    return n < 0 ? 0 : static_cast<int>(n);
}

void CCheckListBox::SetCheck(int index, int check)
{
    const ULONG_PTR raw = m_impl->raw(index);
    if (raw == static_cast<ULONG_PTR>(LB_ERR))
        return;
    const ULONG_PTR word = WordWithCheck(raw, check);
    if (!m_impl->write(index, word))
        return;
    // While the list is refilled out of sight, the whole of it is repainted, and screen
    // readers are told to read it again, when redraw comes back.
    if (!m_impl->redrawOff)
        m_impl->showCheck(index, CheckOfWord(raw) != CheckOfWord(word));
}

int CCheckListBox::GetCheck(int index) const
{
    if (m_impl->listBoxProc && index >= 0 && static_cast<std::size_t>(index) < m_impl->checks.size())
        return m_impl->checks[static_cast<std::size_t>(index)];
    // A stored word never has its upper bits set, so all ones can only be LB_ERR.
    ULONG_PTR raw = m_impl->raw(index);
    return raw == static_cast<ULONG_PTR>(LB_ERR) ? 0 : CheckOfWord(raw);
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
