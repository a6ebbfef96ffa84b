#include "framework/win32/filedialog.h"

CFileDialog::CFileDialog(bool openFileDialog, const char* filter, DWORD flags, HWND owner)
    : m_ofn(), m_open(openFileDialog), m_fileName()
{
    if (filter) {
        m_filter = filter;
        for (char& c : m_filter)
            if (c == '|')
                c = '\0';
    }
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.hwndOwner = owner;
    m_ofn.lpstrFilter = filter ? m_filter.c_str() : nullptr;
    m_ofn.nFilterIndex = filter ? 1 : 0;
    m_ofn.lpstrFile = m_fileName;
    m_ofn.nMaxFile = sizeof m_fileName;
    m_ofn.Flags = flags | OFN_EXPLORER;
}

INT_PTR CFileDialog::DoModal()
{
    m_fileName[0] = '\0';
    const BOOL chosen = m_open ? GetOpenFileNameA(&m_ofn) : GetSaveFileNameA(&m_ofn);
    if (!chosen) {
        m_fileName[0] = '\0';
        return IDCANCEL;
    }
    return IDOK;
}
