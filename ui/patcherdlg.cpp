#include "ui/patcherdlg.h"

#include <cstdio>
#include <exception>

#include "app/resource.h"
#include "framework/win32/checklistbox_window.h"
#include "framework/win32/dpi.h"
#include "framework/win32/filedialog.h"
#include "framework/win32/waitcursor.h"
#include "framework/win32/winapp.h"
#include "ui/aboutdlg.h"

const CDialog::Command<CPatcherDlg> CPatcherDlg::kCommands[] = {
    {IDC_BROWSE_SOURCE, &CPatcherDlg::OnBrowseSource},
    {IDC_BROWSE_PATCH, &CPatcherDlg::OnBrowsePatch},
    {IDC_BROWSE_DEST, &CPatcherDlg::OnBrowseDest},
    {IDOK, &CPatcherDlg::OnPatch},
    {IDC_SELECT_ALL, &CPatcherDlg::OnSelectAll},
    {IDC_SELECT_NONE, &CPatcherDlg::OnSelectNone},
    {IDC_INVERT, &CPatcherDlg::OnInvert},
};

const CDialog::Message<CPatcherDlg> CPatcherDlg::kMessages[] = {
    {WM_SYSCOMMAND, &CPatcherDlg::OnSysCommand},
    {WM_PAINT, &CPatcherDlg::OnPaint},
    {WM_QUERYDRAGICON, &CPatcherDlg::OnQueryDragIcon},
};

CPatcherDlg::CPatcherDlg()
    : CDialog(IDD_MAIN), m_hIcon(LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME)))
{
}

bool CPatcherDlg::OnCommand(UINT id) { return Dispatch(*this, kCommands, id); }

bool CPatcherDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    return Dispatch(*this, kMessages, message, wParam, lParam, result);
}

void CPatcherDlg::DoDataExchange(CDataExchange& dx)
{
    DDX_Control(dx, IDC_HUNK_LIST, m_hunkList);
    DDX_Text(dx, IDC_HUNK_COUNT, m_hunkCount);
    DDX_Text(dx, IDC_SOURCE_PATH, m_sourcePath);
    DDX_Text(dx, IDC_DEST_PATH, m_destPath);
    DDX_Text(dx, IDC_PATCH_PATH, m_patchPath);
}

BOOL CPatcherDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (HMENU menu = GetSystemMenu(m_hWnd, FALSE)) {
        char about[256] = "";
        if (LoadStringA(AfxGetInstanceHandle(), IDS_ABOUTBOX, about, sizeof about) > 0) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_hunkCount = "0";
    UpdateData(false);

    // 10 points on this screen.
    LOGFONTA font{};
    font.lfHeight = -(ScreenDpi() * 100 / 720);
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(font.lfFaceName, "Lucida Console", LF_FACESIZE);
    m_listFont.reset(CreateFontIndirectA(&font));
    SendDlgItemMessageA(m_hWnd, IDC_HUNK_LIST, WM_SETFONT, reinterpret_cast<WPARAM>(m_listFont.get()), FALSE);
    m_logo.Show(m_hWnd);

    return TRUE;
}

void CPatcherDlg::OnBrowseSource()
{
    UpdateData(true);
    CFileDialog dialog(true, "All Files (*.*)|*.*||", OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, m_hWnd);
    if (dialog.DoModal() == IDOK)
        TakeSource(dialog.GetPathName());
}

void CPatcherDlg::OnBrowseDest()
{
    UpdateData(true);
    CFileDialog dialog(false, nullptr, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY, m_hWnd);
    if (dialog.DoModal() == IDOK)
        TakeDest(dialog.GetPathName());
}

void CPatcherDlg::OnBrowsePatch()
{
    UpdateData(true);
    CFileDialog dialog(true, "Patch Files (*.ips)|*.ips||", OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, m_hWnd);
    if (dialog.DoModal() == IDOK)
        TakePatch(dialog.GetPathName());
}

void CPatcherDlg::TakeSource(const std::string& path)
{
    m_sourcePath = path;
    UpdateData(false);
}

void CPatcherDlg::TakeDest(const std::string& path)
{
    m_destPath = path;
    UpdateData(false);
}

void CPatcherDlg::TakePatch(const std::string& path)
{
    m_patchPath = path;
    // A read error leaves LoadPatch with the list emptied. The window shows that before
    // the error goes on to be reported, so that path and count never describe a patch
    // the list no longer holds.
    bool loaded = false;
    std::exception_ptr escaped;
    {
        // Repainting after every one of many thousand insertions would take longer
        // than reading the patch.
        CheckListRedrawOff quiet(m_hunkList);
        CWaitCursor wait;
        try {
            loaded = m_hunkSet.LoadPatch(m_patchPath, m_hunkList);
        } catch (...) {
            escaped = std::current_exception();
        }
    }
    if (!loaded)
        m_patchPath.clear();
    char count[16];
    std::snprintf(count, sizeof count, "%u", static_cast<unsigned>(m_hunkList.GetCount()));
    m_hunkCount = count;
    UpdateData(false);
    if (escaped)
        std::rethrow_exception(escaped);
}

void CPatcherDlg::OnPatch()
{
    CWaitCursor wait;
    m_hunkSet.ApplyPatch(m_sourcePath, m_destPath, m_hunkList);
}

void CPatcherDlg::OnSelectAll()
{
    for (int i = 0; i < m_hunkList.GetCount(); ++i)
        m_hunkList.SetCheck(i, 1);
}

void CPatcherDlg::OnSelectNone()
{
    for (int i = 0; i < m_hunkList.GetCount(); ++i)
        m_hunkList.SetCheck(i, 0);
}

void CPatcherDlg::OnInvert()
{
    for (int i = 0; i < m_hunkList.GetCount(); ++i)
        m_hunkList.SetCheck(i, 1 - m_hunkList.GetCheck(i));
}

INT_PTR CPatcherDlg::OnSysCommand(WPARAM command, LPARAM)
{
    if ((command & 0xFFF0) != IDM_ABOUTBOX)
        return FALSE;  // Move, Close and the rest as in any dialog
    CAboutDlg about(m_hWnd);
    about.DoModal();
    return TRUE;
}

INT_PTR CPatcherDlg::OnPaint(WPARAM, LPARAM)
{
    if (!IsIconic(m_hWnd))
        return FALSE;
    PaintDC dc(m_hWnd);
    SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0);
    RECT client;
    GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc.get(), x, y, m_hIcon);
    return TRUE;
}

INT_PTR CPatcherDlg::OnQueryDragIcon(WPARAM, LPARAM) { return reinterpret_cast<INT_PTR>(m_hIcon); }
