#pragma once
// The main window: three files to choose, the hunk check list and its commands, Patch.

#include <windows.h>

#include <string>

#include "framework/checklistbox.h"
#include "framework/win32/dialog.h"
#include "framework/win32/gdi.h"
#include "framework/win32/tooltip.h"
#include "patch/hunkset.h"
#include "ui/logo.h"
#include "ui/pathinfo.h"

class CPatcherDlg : public CDialog {
public:
    CPatcherDlg();

    // What each Browse command does with the file chosen, and a file dropped on its row:
    // the one place that sets that row. TakePatch loads the patch and lets a read error
    // go on to be reported.
    void TakeSource(const std::string& path);
    void TakePatch(const std::string& path);
    void TakeDest(const std::string& path);

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    bool OnCommand(UINT id) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void OnBrowseSource();
    void OnBrowsePatch();
    void OnBrowseDest();
    void OnPatch();
    void OnSelectAll();
    void OnSelectNone();
    void OnInvert();
    INT_PTR OnSysCommand(WPARAM command, LPARAM);
    INT_PTR OnPaint(WPARAM, LPARAM);
    INT_PTR OnQueryDragIcon(WPARAM, LPARAM);
    INT_PTR OnDropFiles(WPARAM drop, LPARAM);
    INT_PTR OnNotify(WPARAM, LPARAM header);
    INT_PTR OnMouseMove(WPARAM keys, LPARAM point);
    INT_PTR OnLButtonDown(WPARAM keys, LPARAM point);
    // The tooltip of path row id (IDC_SOURCE_PATH, IDC_PATCH_PATH, IDC_DEST_PATH); empty
    // while the row has no file.
    std::string PathRowText(UINT_PTR id);
    void TakeDroppedFile(const std::wstring& path, POINT point);

    static const Command<CPatcherDlg> kCommands[];
    static const Message<CPatcherDlg> kMessages[];

    CHunkSet m_hunkSet;
    CCheckListBox m_hunkList;
    std::string m_hunkCount;
    std::string m_sourcePath;
    std::string m_destPath;
    std::string m_patchPath;
    HICON m_hIcon;          // shared resource icon: the system frees it
    OwnedFont m_listFont;
    CLogo m_logo;
    CToolTip m_tips;
    ToolTipText m_tipText;  // the path row's tip on show
    CPathInfo m_pathInfo;
};
