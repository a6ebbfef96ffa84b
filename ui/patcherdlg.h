#pragma once
// The main window: three files to choose, the hunk check list and its commands, Patch.

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/checklistbox.h"
#include "framework/win32/dialog.h"
#include "framework/win32/folderwatch.h"
#include "framework/win32/gdi.h"
#include "framework/win32/tooltip.h"
#include "patch/conflict.h"
#include "patch/hunkset.h"
#include "patch/relation.h"
#include "ui/filereader.h"
#include "ui/logo.h"
#include "ui/pathinfo.h"
#include "ui/rowstate.h"

class CPatcherDlg : public CDialog {
public:
    CPatcherDlg();

    // What each Browse command does with the file chosen, and a file dropped on its row:
    // the one place that sets that row. TakePatch loads the patch and lets a read error
    // go on to be reported.
    void TakeSource(const std::string& path);
    void TakePatch(const std::string& path);
    void TakeDest(const std::string& path);
    // Adds a patch to those loaded, as Add Patch does once a file is chosen.
    void AddPatch(const std::string& path);

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
    INT_PTR OnWatchLooks(WPARAM, LPARAM);
    INT_PTR OnTimer(WPARAM timer, LPARAM);
    INT_PTR OnActivate(WPARAM state, LPARAM);
    INT_PTR OnDeviceChange(WPARAM event, LPARAM data);
    INT_PTR OnContextMenu(WPARAM window, LPARAM point);
    void ShowListMenu(POINT screen);
    void ShowRowMenu(PathRow row, POINT screen);
    // The tooltip of path row id (IDC_SOURCE_PATH, IDC_PATCH_PATH, IDC_DEST_PATH); empty
    // while the row has no file.
    std::string PathRowText(UINT_PTR id);
    // The Patch button's tip: what Patch would write, worked out by the reader from the
    // source and the ticks as they are; empty while Patch has no source or patch to use.
    // A tip that only shows what came asks for nothing it asked for already.
    std::string PatchButtonText(bool refreshing);
    // The Patch row's lines of the added patches: each one's hunks, their conflicts and
    // their sizes; none with one patch.
    std::vector<std::string> AddedPatchLines() const;
    std::string ConflictSummaryLine() const;
    void OnCorrectChecksums();
    void OnAddPatch();
    // The patch dialog, for Browse and Add Patch alike; false when nothing usable was chosen.
    bool ChoosePatch(std::string& path);
    void OnRemoveAddedPatches();
    // Loads path as the patch, or adds it to those loaded; false when it failed, reported.
    bool LoadPatches(const std::string& path, bool add);
    // Shows what the patches are now: the count, the list's font, the source's relations.
    void ShowPatches();
    void TakeDroppedFile(const std::wstring& path, POINT point);
    void TakeDroppedPatches(const std::vector<std::wstring>& paths, POINT point);

    // The background reader and the folder watch: what they are asked, and what the
    // window makes of their answers.
    const std::string& PathOf(PathRow row) const;
    // A row's file chosen anew (or after Patch wrote it): read, and its folder watched.
    void Chose(PathRow row);
    void Request(PathRow row);
    // Reads the rows that have been quiet long enough, and sets the timer for the next.
    void ReadDue();
    // Shows what changed: the grey rows, an open tip in place.
    void ShowChanges(bool source);
    std::string SourceLineOf(std::size_t index) const;
    // Greys the rows whose hunks change nothing, once that is known.
    void ShowRelations();
    // Marks the ticked rows in a conflict with another patch's, for the ticks as they are.
    void ShowConflicts();
    std::string HunkDescription(int row, std::uint32_t index) const;
    void GoToConflict(bool forward);
    void KeepInConflicts(bool earlier);
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
    CFolderWatch m_watch;
    CFileRows m_rows;      // what the window knows of its three files
    std::unique_ptr<CConflicts> m_conflicts;  // with two or more patches
    std::vector<int> m_conflictTicks;                // the ticks it was last told
    bool m_marks = false;  // the list's font leaves room for the patches' marks
    bool m_refreshing = false;  // the tips ask for their texts again: ask the reader nothing anew
    std::shared_ptr<const OutputRequest> m_outputFor;  // the last output asked for
    OutputFacts m_output;                              // its answer, once m_outputDone
    bool m_outputDone = false;
};
