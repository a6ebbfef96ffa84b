#pragma once
// The main window: three files to choose, the hunk check list and its commands, Patch.

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "framework/checklistbox.h"
#include "framework/win32/dialog.h"
#include "framework/win32/gdi.h"
#include "framework/win32/tooltip.h"
#include "patch/hunkset.h"
#include "patch/relation.h"
#include "ui/filereader.h"
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

    // The list's menu: the ticked rows' labels to the clipboard, and the rows a list of
    // labels on the clipboard names ticked, every other row unticked; no tick changes
    // when no line names a row or the clipboard stays held by another program.
    void CopyTickedHunks();
    void TickHunksFromClipboard();

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
    INT_PTR OnReaderAnswers(WPARAM, LPARAM);
    INT_PTR OnContextMenu(WPARAM window, LPARAM point);
    void ShowListMenu(POINT screen);
    void ShowRowMenu(PathRow row, POINT screen);
    // The tooltip of path row id (IDC_SOURCE_PATH, IDC_PATCH_PATH, IDC_DEST_PATH); empty
    // while the row has no file.
    std::string PathRowText(UINT_PTR id);
    // The Patch button's tip: what Patch would write, worked out by the reader from the
    // source and the ticks as they are; empty while Patch has no source or patch to use.
    std::string PatchButtonText();
    void OnCorrectChecksums();
    void TakeDroppedFile(const std::wstring& path, POINT point);

    // The background reader: what it is asked and what the window makes of its answers.
    const std::string& PathOf(PathRow row) const;
    // Asks for what row's file needs, even what is known: the file may have changed.
    void ReadRow(PathRow row);
    // Asks for what a row's file still needs and nobody has asked for.
    void ReadWhatIsMissing();
    // The row's file as it stands now, with the reader's facts if they are of it.
    FileView ViewOf(PathRow row);
    // The source's facts, when they hold what each hunk of the loaded patch does to it.
    const FileFacts* SourceRelations() const;
    std::string SourceLineOf(std::size_t index) const;
    // Greys the rows whose hunks change nothing, once that is known.
    void ShowRelations();

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
    CFileReader m_reader;
    std::map<std::string, FileFacts> m_facts;     // by path: what the reader last found
    std::shared_ptr<const HunkSnapshot> m_hunks;  // the loaded patch's, as the reader reads them
    bool m_refreshingTip = false;                 // a tip asks for its text again: ask the reader nothing
    std::shared_ptr<const OutputRequest> m_outputFor;  // the last output asked for
    OutputFacts m_output;                              // its answer, once m_outputDone
    bool m_outputDone = false;
};
