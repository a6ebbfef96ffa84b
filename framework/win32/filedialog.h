#pragma once
// The platform's open and save dialogs (UTF-16 API), for choosing one file by full path.
// The path comes back as the user chose it: the caller decides whether the program's
// code page can hold it.

#include <windows.h>

#include <commdlg.h>

#include <string>

class CFileDialog {
public:
    // filter: pairs "description|pattern|" ending in an extra "|", as in
    // "All Files (*.*)|*.*||"; null for none. flags go to the platform as they are.
    CFileDialog(bool openFileDialog, const wchar_t* filter, DWORD flags, HWND owner);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when the user chose a file, IDCANCEL otherwise (a failure included).
    INT_PTR DoModal();
    // The full path chosen.
    std::wstring GetPathName() const { return m_fileName; }

    OPENFILENAMEW m_ofn;

private:
    bool m_open;
    std::wstring m_filter;  // the platform's form: '\0' between the parts
    wchar_t m_fileName[MAX_PATH * 4];
};
