#pragma once
// The platform's open and save dialogs (8-bit API), for choosing one file by full path.

#include <windows.h>

#include <commdlg.h>

#include <string>

class CFileDialog {
public:
    // filter: pairs "description|pattern|" ending in an extra "|", as in
    // "All Files (*.*)|*.*||"; null for none. flags go to the platform as they are.
    CFileDialog(bool openFileDialog, const char* filter, DWORD flags, HWND owner);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when the user chose a file, IDCANCEL otherwise (a failure included).
    INT_PTR DoModal();
    // The full path chosen.
    std::string GetPathName() const { return m_fileName; }

    OPENFILENAMEA m_ofn;

private:
    bool m_open;
    std::string m_filter;  // the platform's form: '\0' between the parts
    char m_fileName[MAX_PATH * 4];
};
