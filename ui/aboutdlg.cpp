#include "ui/aboutdlg.h"

#include "app/resource.h"

CAboutDlg::CAboutDlg(HWND owner) : CDialog(IDD_ABOUTBOX, owner) {}

BOOL CAboutDlg::OnInitDialog()
{
    const BOOL focusDefault = CDialog::OnInitDialog();
    m_logo.Show(m_hWnd);
    return focusDefault;
}
