#pragma once
// The main window: three files to choose, the hunk check list and its commands, Patch.

#include <windows.h>

#include <string>

#include "framework/checklistbox.h"
#include "framework/win32/dialog.h"
#include "framework/win32/gdi.h"
#include "patch/hunkset.h"
#include "ui/logo.h"

class CPatcherDlg : public CDialog {
public:
    CPatcherDlg();

    // What each Browse command does with the file chosen.
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
};
