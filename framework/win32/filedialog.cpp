#include "framework/win32/filedialog.h"

CFileDialog::CFileDialog(bool openFileDialog, const wchar_t* filter, DWORD flags, HWND owner)
    : m_ofn(), m_open(openFileDialog), m_fileName()
{
    if (filter) {
        m_filter = filter;
        for (wchar_t& c : m_filter)
            if (c == L'|')
                c = L'\0';
    }
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.hwndOwner = owner;
    m_ofn.lpstrFilter = filter ? m_filter.c_str() : nullptr;
    m_ofn.nFilterIndex = filter ? 1 : 0;
    m_ofn.lpstrFile = m_fileName;
    m_ofn.nMaxFile = MAX_PATH * 4;
    m_ofn.Flags = flags | OFN_EXPLORER;
}

INT_PTR CFileDialog::DoModal()
{
    m_fileName[0] = L'\0';
    const BOOL chosen = m_open ? GetOpenFileNameW(&m_ofn) : GetSaveFileNameW(&m_ofn);
    if (!chosen) {
        m_fileName[0] = L'\0';
        return IDCANCEL;
    }
    return IDOK;
}
