#include "ui/patcherdlg.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <exception>

#include "app/resource.h"
#include "framework/report.h"
#include "framework/win32/checklistbox_tips.h"
#include "framework/win32/accessible.h"
#include "framework/win32/checklistbox_accessible.h"
#include "framework/win32/checklistbox_window.h"
#include "framework/win32/clipboard.h"
#include "framework/win32/dpi.h"
#include "framework/win32/dropfilter.h"
#include "framework/win32/filedialog.h"
#include "framework/win32/report_win32.h"
#include "framework/win32/text.h"
#include "framework/win32/waitcursor.h"
#include "framework/win32/winapp.h"
#include "framework/win32/checklistbox_input.h"
#include "patch/conflict.h"
#include "patch/correction.h"
#include "patch/output.h"
#include "ui/aboutdlg.h"
#include "ui/shell.h"

const CDialog::Command<CPatcherDlg> CPatcherDlg::kCommands[] = {
    {IDC_BROWSE_SOURCE, &CPatcherDlg::OnBrowseSource},
    {IDC_BROWSE_PATCH, &CPatcherDlg::OnBrowsePatch},
    {IDC_BROWSE_DEST, &CPatcherDlg::OnBrowseDest},
    {IDOK, &CPatcherDlg::OnPatch},
    {IDC_SELECT_ALL, &CPatcherDlg::OnSelectAll},
    {IDC_SELECT_NONE, &CPatcherDlg::OnSelectNone},
    {IDC_INVERT, &CPatcherDlg::OnInvert},
};

namespace {

// Posted by the background reader when it has answers, and by the folder watch when it
// has looked at the files.
constexpr UINT WM_APP_READER = WM_APP + 1;
constexpr UINT WM_APP_WATCH = WM_APP + 2;
// Fires when a changed file has been quiet long enough to be read again.
constexpr UINT_PTR kDueTimer = 1;

std::uint64_t now() { return GetTickCount64(); }

}  // namespace

const CDialog::Message<CPatcherDlg> CPatcherDlg::kMessages[] = {
    {WM_SYSCOMMAND, &CPatcherDlg::OnSysCommand},
    {WM_PAINT, &CPatcherDlg::OnPaint},
    {WM_QUERYDRAGICON, &CPatcherDlg::OnQueryDragIcon},
    {WM_DROPFILES, &CPatcherDlg::OnDropFiles},
    {WM_NOTIFY, &CPatcherDlg::OnNotify},
    {WM_MOUSEMOVE, &CPatcherDlg::OnMouseMove},
    {WM_LBUTTONDOWN, &CPatcherDlg::OnLButtonDown},
    {WM_APP_READER, &CPatcherDlg::OnReaderAnswers},
    {WM_APP_WATCH, &CPatcherDlg::OnWatchLooks},
    {WM_TIMER, &CPatcherDlg::OnTimer},
    {WM_ACTIVATE, &CPatcherDlg::OnActivate},
    {WM_DEVICECHANGE, &CPatcherDlg::OnDeviceChange},
    {WM_CONTEXTMENU, &CPatcherDlg::OnContextMenu},
};

namespace {

OwnedFont createListFont(int height)
{
    LOGFONTA font{};
    font.lfHeight = -height;
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(font.lfFaceName, "Lucida Console", LF_FACESIZE);
    return OwnedFont(CreateFontIndirectA(&font));
}

// 10 points on this screen, or as much less as it takes for a label to fit beside the
// check box with the scroll bar shown: the dialog's font, and so the list, may grow
// less than the screen's DPI (a bitmap face does).
OwnedFont chooseListFont(HWND list, bool marks)
{
    RECT client;
    GetClientRect(list, &client);
    int room = client.right - CheckAreaWidth();
    if (!(GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL))
        room -= GetSystemMetrics(SM_CXVSCROLL);  // hidden while the list is short
    // Labels of six-digit offsets are all as wide as this one in a monospaced face, and
    // so are the patches' marks.
    const std::string widest = CHunkSet::Label(0, 1) + (marks ? "  #9" : "");
    WindowDC dc(list);
    for (int height = ScreenDpi() * 100 / 720;; --height) {
        OwnedFont font = createListFont(height);
        SelectedObject selected(dc.get(), font.get());
        SIZE label{};
        GetTextExtentPoint32A(dc.get(), widest.c_str(), static_cast<int>(widest.size()), &label);
        if (label.cx <= room || height <= 1)
            return font;
    }
}

// Velquin holds this many patches at most.
constexpr std::size_t kMostPatches = 9;

std::string fileNameOf(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }

bool endsWith(const std::wstring& text, const wchar_t* suffix)
{
    const std::size_t n = lstrlenW(suffix);
    return text.size() >= n && lstrcmpiW(text.c_str() + text.size() - n, suffix) == 0;
}

// The file a shortcut points to, as the open dialog takes it; empty when it cannot tell.
std::wstring shortcutTarget(const std::wstring& path)
{
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return {};
    std::wstring target;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t found[MAX_PATH * 2] = L"";
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ)) &&
            link->GetPath(found, MAX_PATH * 2, nullptr, 0) == S_OK)
            target = found;
        file->Release();
    }
    link->Release();
    return target;
}

// The one file of a drop, shortcuts followed; empty for several files, a folder, or
// anything else that is no file.
std::wstring droppedFile(HDROP drop)
{
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) != 1)
        return {};
    std::wstring path(DragQueryFileW(drop, 0, nullptr, 0) + 1, L'\0');
    path.resize(DragQueryFileW(drop, 0, &path[0], static_cast<UINT>(path.size())));
    if (endsWith(path, L".lnk"))
        path = shortcutTarget(path);
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    return path;
}

// The files of a drop of several, when every one is an .ips file, in name order (letter
// case aside); empty for one file, or for anything else among them.
std::vector<std::wstring> droppedPatches(HDROP drop)
{
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::wstring> paths;
    for (UINT i = 0; count > 1 && i < count; ++i) {
        std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, &path[0], static_cast<UINT>(path.size())));
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (!endsWith(path, L".ips") || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return {};
        paths.push_back(std::move(path));
    }
    const auto name = [](const std::wstring& path) { return path.c_str() + path.find_last_of(L"\\/") + 1; };
    std::sort(paths.begin(), paths.end(),
              [&](const std::wstring& a, const std::wstring& b) { return lstrcmpiW(name(a), name(b)) < 0; });
    return paths;
}

// The name chosen in the program's code page, or else a report and false: a name the
// code page cannot hold would become a look-alike that can name another file. The report
// gives the name as the user chose it.
bool exactName(const std::wstring& chosen, std::string& path)
{
    if (NarrowName(chosen, GetACP(), path))
        return true;
    const std::wstring text = L"The name " + chosen + L" cannot be used on this system.";
    showReport(text.c_str(), MB_ICONSTOP);
    return false;
}

// A drop the system handed the window, given back when its handler ends.
struct DropTraits {
    using Handle = HDROP;
    static Handle none() { return nullptr; }
    static void close(Handle drop) { DragFinish(drop); }
};
using UniqueDrop = UniqueHandle<DropTraits>;

}  // namespace

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

    m_listFont = chooseListFont(GetDlgItem(IDC_HUNK_LIST), false);
    SendDlgItemMessageA(m_hWnd, IDC_HUNK_LIST, WM_SETFONT, reinterpret_cast<WPARAM>(m_listFont.get()), FALSE);
    m_logo.Show(m_hWnd);
    DragAcceptFiles(m_hWnd, TRUE);
    AcceptDropsFromLowerPrograms(m_hWnd);
    m_reader.Start(m_hWnd, WM_APP_READER);
    m_watch.Start(m_hWnd, WM_APP_WATCH);

    // A path too long for its row keeps its file name, shortened in the middle.
    for (int id : {IDC_SOURCE_PATH, IDC_PATCH_PATH, IDC_DEST_PATH}) {
        HWND row = GetDlgItem(id);
        SetWindowLongPtrA(row, GWL_STYLE, GetWindowLongPtrA(row, GWL_STYLE) | SS_PATHELLIPSIS);
    }
    // What screen readers call the controls: the platform would take the list's name from
    // the path before it, and give every Browse button the same one.
    NameCheckList(m_hunkList, L"Hunk list");
    NoteDimmedCheckListItems(m_hunkList, "Changes nothing.");
    TellCheckListTicksAs(m_hunkList, L"%1 of %2 hunks ticked.");
    const struct {
        int id;
        const wchar_t* name;
        bool textIsValue;
    } names[] = {
        {IDC_BROWSE_SOURCE, L"Browse for the source file", false},
        {IDC_BROWSE_PATCH, L"Browse for the patch file", false},
        {IDC_BROWSE_DEST, L"Browse for the destination file", false},
        {IDC_SOURCE_PATH, L"Source file", true},
        {IDC_PATCH_PATH, L"Patch file", true},
        {IDC_DEST_PATH, L"Destination file", true},
    };
    for (const auto& control : names)
        NameForScreenReaders(GetDlgItem(control.id), control.name, control.textIsValue);

    // The static path texts take no mouse: their rectangles are the dialog's tools, and
    // the dialog relays its mouse to the tooltip.
    if (m_tips.Create(m_hWnd)) {
        for (int id : {IDC_SOURCE_PATH, IDC_PATCH_PATH, IDC_DEST_PATH})
            m_tips.AddControlRect(m_hWnd, id);
        m_tips.AddWindowTool(m_hWnd, GetDlgItem(IDOK));
        ShowCheckListRowTips(GetDlgItem(IDC_HUNK_LIST), m_tips);
    }

    return TRUE;
}

void CPatcherDlg::OnBrowseSource()
{
    UpdateData(true);
    CFileDialog dialog(true, L"All Files (*.*)|*.*||", OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, m_hWnd);
    std::string path;
    if (dialog.DoModal() == IDOK && exactName(dialog.GetPathName(), path))
        TakeSource(path);
}

void CPatcherDlg::OnBrowseDest()
{
    UpdateData(true);
    CFileDialog dialog(false, nullptr, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY, m_hWnd);
    std::string path;
    if (dialog.DoModal() == IDOK && exactName(dialog.GetPathName(), path))
        TakeDest(path);
}

void CPatcherDlg::OnBrowsePatch()
{
    std::string path;
    if (ChoosePatch(path))
        TakePatch(path);
}

bool CPatcherDlg::ChoosePatch(std::string& path)
{
    UpdateData(true);
    CFileDialog dialog(true, L"Patch Files (*.ips)|*.ips||", OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, m_hWnd);
    return dialog.DoModal() == IDOK && exactName(dialog.GetPathName(), path);
}

void CPatcherDlg::TakeSource(const std::string& path)
{
    m_sourcePath = path;
    UpdateData(false);
    Chose(PathRow::source);
}

void CPatcherDlg::TakeDest(const std::string& path)
{
    m_destPath = path;
    UpdateData(false);
    Chose(PathRow::destination);
}

void CPatcherDlg::TakePatch(const std::string& path)
{
    m_patchPath = path;
    if (!LoadPatches(path, false))
        m_patchPath.clear();
    Chose(PathRow::patch);
    ShowPatches();
}

bool CPatcherDlg::LoadPatches(const std::string& path, bool add)
{
    // A read error leaves LoadPatch with the list emptied. The window shows that before
    // the error goes on to be reported, so that path and count never describe a patch
    // the list no longer holds.
    bool loaded = false;
    std::exception_ptr escaped;
    // It points into the hunks the load is about to replace; ShowPatches makes it anew.
    m_conflicts.reset();
    m_conflictTicks.clear();
    {
        // Repainting after every one of many thousand insertions would take longer
        // than reading the patch.
        CheckListRedrawOff quiet(m_hunkList);
        CWaitCursor wait;
        // The load opens the patch without sharing: the reader lets go of it first.
        CFileReader::LetGo letGo(m_reader, {path});
        try {
            loaded = add ? m_hunkSet.AddPatch(path, m_hunkList) : m_hunkSet.LoadPatch(path, m_hunkList);
        } catch (...) {
            escaped = std::current_exception();
        }
    }
    if (!add && !loaded)
        m_patchPath.clear();
    if (escaped) {
        if (!add)
            Chose(PathRow::patch);
        ShowPatches();
        std::rethrow_exception(escaped);
    }
    return loaded;
}

void CPatcherDlg::ShowPatches()
{
    const bool any = m_hunkSet.GetCount() > 0 || !m_hunkSet.Patches().empty();
    m_conflicts.reset();
    m_conflictTicks.clear();
    std::shared_ptr<const std::vector<ByteSpan>> spans;
    if (m_hunkSet.Patches().size() > 1) {
        std::vector<PatchedHunk> hunks(m_hunkSet.GetCount());
        for (std::size_t i = 0; i < hunks.size(); ++i) {
            const CHunk& hunk = m_hunkSet.GetHunk(i);
            hunks[i] = {hunk.Offset(), hunk.Length(), hunk.Bytes(), m_hunkSet.PatchOf(i)};
        }
        m_conflicts = std::make_unique<CConflicts>(std::move(hunks), m_hunkSet.ListOrder(), m_hunkSet.GetTargetSize());
        spans = std::make_shared<const std::vector<ByteSpan>>(m_conflicts->SourceSpans());
    }
    m_rows.SetPatch(any ? std::make_shared<const HunkSnapshot>(m_hunkSet) : nullptr, m_hunkSet.LoadedFrom(), spans);
    char count[16];
    std::snprintf(count, sizeof count, "%u", static_cast<unsigned>(m_hunkList.GetCount()));
    m_hunkCount = count;
    UpdateData(false);
    const bool marks = m_hunkSet.Patches().size() > 1;
    if (marks != m_marks) {
        m_marks = marks;
        m_listFont = chooseListFont(GetDlgItem(IDC_HUNK_LIST), marks);
        SendDlgItemMessageA(m_hWnd, IDC_HUNK_LIST, WM_SETFONT, reinterpret_cast<WPARAM>(m_listFont.get()), TRUE);
    }
    // What the hashes already known of the source say stays while the new relations are read.
    if (m_rows.Hunks() && m_rows.Get(PathRow::source).phase != CFileRows::Row::Phase::waiting)
        Request(PathRow::source);
    ShowRelations();
}

void CPatcherDlg::OnAddPatch()
{
    if (m_hunkSet.Patches().empty())
        return;
    if (m_hunkSet.Patches().size() >= kMostPatches) {
        report("Velquin holds at most 9 patches at once.");
        return;
    }
    std::string path;
    if (ChoosePatch(path))
        AddPatch(path);
}

void CPatcherDlg::AddPatch(const std::string& path)
{
    for (const CHunkSet::Patch& loaded : m_hunkSet.Patches()) {
        if (NamesOneFile(loaded.path, path)) {
            report(WithFileName("%1 is loaded already.", fileNameOf(path)).c_str());
            return;
        }
    }
    LoadPatches(path, true);
    ShowPatches();
}

void CPatcherDlg::OnRemoveAddedPatches()
{
    m_conflicts.reset();
    m_conflictTicks.clear();
    {
        CheckListRedrawOff quiet(m_hunkList);
        m_hunkSet.RemoveAddedPatches(m_hunkList);
    }
    ShowPatches();
}

void CPatcherDlg::OnCorrectChecksums()
{
    {
        CWaitCursor wait;
        // As for Patch: the destination is rewritten without sharing.
        CFileReader::LetGo letGo(m_reader, {m_sourcePath, m_destPath});
        CorrectChecksums(m_sourcePath, m_destPath);
    }
    Chose(PathRow::destination);
}

void CPatcherDlg::OnPatch()
{
    {
        CWaitCursor wait;
        // Patch opens both files without sharing: the reader lets go of them first.
        CFileReader::LetGo letGo(m_reader, {m_sourcePath, m_destPath});
        m_hunkSet.ApplyPatch(m_sourcePath, m_destPath, m_hunkList);
    }
    Chose(PathRow::destination);
}

void CPatcherDlg::OnSelectAll()
{
    for (int i = 0; i < m_hunkList.GetCount(); ++i)
        m_hunkList.SetCheck(i, 1);
    ShowConflicts();
    m_tips.Refresh();
    AnnounceCheckListTicks(m_hunkList);
}

void CPatcherDlg::OnSelectNone()
{
    for (int i = 0; i < m_hunkList.GetCount(); ++i)
        m_hunkList.SetCheck(i, 0);
    ShowConflicts();
    m_tips.Refresh();
    AnnounceCheckListTicks(m_hunkList);
}

void CPatcherDlg::OnInvert()
{
    for (int i = 0; i < m_hunkList.GetCount(); ++i)
        m_hunkList.SetCheck(i, 1 - m_hunkList.GetCheck(i));
    ShowConflicts();
    m_tips.Refresh();
    AnnounceCheckListTicks(m_hunkList);
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

INT_PTR CPatcherDlg::OnDropFiles(WPARAM drop, LPARAM)
{
    const HDROP files = reinterpret_cast<HDROP>(drop);
    UniqueDrop finish(files);
    // Wine hands drops even to a window that a report, a file dialog or the About box
    // has disabled.
    if (!IsWindowEnabled(m_hWnd))
        return TRUE;
    POINT point{};
    DragQueryPoint(files, &point);
    const std::vector<std::wstring> patches = droppedPatches(files);
    if (!patches.empty()) {
        TakeDroppedPatches(patches, point);
        return TRUE;
    }
    const std::wstring path = droppedFile(files);
    if (!path.empty())
        TakeDroppedFile(path, point);
    return TRUE;
}

INT_PTR CPatcherDlg::OnMouseMove(WPARAM wParam, LPARAM lParam)
{
    m_tips.Relay(m_hWnd, WM_MOUSEMOVE, wParam, lParam);
    return FALSE;
}

INT_PTR CPatcherDlg::OnLButtonDown(WPARAM wParam, LPARAM lParam)
{
    m_tips.Relay(m_hWnd, WM_LBUTTONDOWN, wParam, lParam);
    return FALSE;
}

INT_PTR CPatcherDlg::OnNotify(WPARAM, LPARAM header)
{
    const auto* notification = reinterpret_cast<const NMHDR*>(header);
    if (notification->code == CLN_TICKSCHANGED && notification->hwndFrom == GetDlgItem(IDC_HUNK_LIST)) {
        ShowConflicts();
        m_tips.Refresh();  // the Patch button's tip, if it shows, asks for the new ticks
        return TRUE;
    }
    if (notification->code == CLN_FINDROW && notification->hwndFrom == GetDlgItem(IDC_HUNK_LIST)) {
        auto* find = reinterpret_cast<CheckListFind*>(header);
        if (m_hunkSet.ListOrder().size() == static_cast<std::size_t>(m_hunkList.GetCount()))
            find->row = m_hunkSet.FindRow(find->value);
        return TRUE;
    }
    if (notification->code == CLN_GETDESCRIPTION && notification->hwndFrom == GetDlgItem(IDC_HUNK_LIST)) {
        auto* request = reinterpret_cast<CheckListDescription*>(header);
        if (request->item < 0 || request->item >= m_hunkList.GetCount())
            return TRUE;
        const std::uint32_t index = m_hunkList.GetItemData(request->item);
        if (index < m_hunkSet.GetCount())
            request->text = HunkDescription(request->item, index);
        return TRUE;
    }
    if (notification->code == CLN_COMMANDKEY && notification->hwndFrom == GetDlgItem(IDC_HUNK_LIST)) {
        const auto* key = reinterpret_cast<const CheckListKey*>(header);
        if (key->key == VK_F8)
            GoToConflict(!key->shift);
        return TRUE;
    }
    const UINT_PTR id = notification->idFrom;
    const bool pathRow = id == IDC_SOURCE_PATH || id == IDC_PATCH_PATH || id == IDC_DEST_PATH;
    const bool asked = notification->code == TTN_GETDISPINFOA || notification->code == TTN_GETDISPINFOW;
    if (notification->hwndFrom == m_tips.GetSafeHwnd() && asked) {
        if (id == reinterpret_cast<UINT_PTR>(GetDlgItem(IDOK))) {
            AnswerToolTipText(header, PatchButtonText(m_refreshing), m_tipText);
            return TRUE;
        }
        if (pathRow) {
            AnswerToolTipText(header, PathRowText(id), m_tipText);
            return TRUE;
        }
    }
    return FALSE;
}

std::string CPatcherDlg::PathRowText(UINT_PTR id)
{
    const PathRow row = id == IDC_SOURCE_PATH ? PathRow::source : id == IDC_PATCH_PATH ? PathRow::patch
                                                                                       : PathRow::destination;
    if (PathOf(row).empty())
        return {};
    FileView view = m_rows.View(row);
    std::vector<std::string> lines;
    if (row == PathRow::source && view.facts) {
        const std::string format = RomFormatLine(view.facts->rom);
        if (!format.empty())
            lines.push_back(format);
    }
    if (row == PathRow::patch && m_rows.Hunks()) {
        const HunkSnapshot& hunks = *m_rows.Hunks();
        const std::uint32_t stated = hunks.TargetSize();
        lines.push_back(stated == 0 ? "States no output size." : "States an output size of " + SizeText(stated) + ".");
        if (const FileFacts* source = m_rows.SourceRelations()) {
            const std::string fit = FitLine(source->relations);
            if (!fit.empty())
                lines.push_back(fit);
            std::vector<HunkSpan> spans(hunks.Count());
            for (std::size_t i = 0; i < spans.size(); ++i)
                spans[i] = {hunks.Offset(i), hunks.Length(i), hunks.Bytes(i)};
            for (std::string& line : PatchFitLines(source->rom, source->seen.identity.size, stated, spans))
                lines.push_back(std::move(line));
        }
        for (std::string& line : AddedPatchLines())
            lines.push_back(std::move(line));
        if (m_rows.PatchReplaced()) {
            // The hashes on disk are no longer those of the patch the list holds.
            if (view.seen == FileView::Seen::known)
                view.facts = nullptr;
            lines.push_back("The patch file has changed since it was loaded: choose it again to load it.");
        }
    }
    // A hash with spaces or line ends around it is still short.
    const std::string clipboardHash = ClipboardHash(ShortClipboardText(m_hWnd, 256));
    // The whole path first: the row may show it shortened.
    return PathOf(row) + "\n" + ::PathRowText(row, view, lines, clipboardHash);
}

std::vector<std::string> CPatcherDlg::AddedPatchLines() const
{
    const std::vector<CHunkSet::Patch>& patches = m_hunkSet.Patches();
    std::vector<std::string> lines;
    if (patches.size() < 2)
        return lines;
    for (std::size_t k = 1; k < patches.size(); ++k) {
        const std::uint32_t n = patches[k].count;
        lines.push_back("#" + std::to_string(k + 1) + " " + patches[k].path + ", " + std::to_string(n) +
                        (n == 1 ? " hunk." : " hunks."));
    }
    const std::string conflicts = ConflictSummaryLine();
    if (!conflicts.empty())
        lines.push_back(conflicts);
    // Which stated size the output takes, when they differ.
    const CHunkSet::Patch* winner = nullptr;
    bool differ = false;
    for (const CHunkSet::Patch& patch : patches) {
        if (patch.targetSize == 0)
            continue;
        differ = differ || (winner && winner->targetSize != patch.targetSize);
        winner = &patch;
    }
    if (differ)
        lines.push_back("The patches state different output sizes: the output takes " +
                        std::to_string(winner->targetSize) + " bytes, as " + fileNameOf(winner->path) + " states.");
    return lines;
}

std::string CPatcherDlg::PatchButtonText(bool refreshing)
{
    const int count = m_hunkList.GetCount();
    const std::shared_ptr<const HunkSnapshot>& hunks = m_rows.Hunks();
    if (m_sourcePath.empty() || !hunks || m_hunkSet.ListOrder().size() != static_cast<std::size_t>(count))
        return {};
    const FileView source = m_rows.View(PathRow::source);
    if (source.seen == FileView::Seen::reading)
        return "Working out the output...";
    std::vector<std::uint32_t> ticked;
    for (int row = 0; row < count; ++row)
        if (m_hunkList.GetCheck(row) == 1)
            ticked.push_back(m_hunkSet.ListOrder()[static_cast<std::size_t>(row)]);
    const std::size_t tickedCount = ticked.size();
    std::uint64_t size = 0;
    std::vector<std::string> lines;
    if (source.seen != FileView::Seen::known) {
        // Missing, unreadable or kept online: Patch's own report will say; nothing here
        // reads it, and nothing waits.
        size = PatchOutput(*hunks, std::move(ticked), source.size.value_or(0)).Size();
    } else {
        const FileFacts& facts = *source.facts;
        const bool asked = m_outputFor && m_outputFor->source == m_sourcePath && m_outputFor->seen == facts.seen &&
                           m_outputFor->hunks == hunks && m_outputFor->ticked == ticked;
        // A forecast that could not be worked out is asked again when the tip shows anew.
        if (!asked || (m_outputDone && !m_output.known && !refreshing)) {
            m_outputFor = std::make_shared<const OutputRequest>(
                OutputRequest{NextLookNumber(), m_sourcePath, facts.seen, facts.rom, hunks, std::move(ticked)});
            m_outputDone = false;
            m_reader.WorkOut(m_outputFor);
        }
        if (!m_outputDone)
            return "Working out the output...";
        size = m_output.size;
        if (m_output.known)
            lines = m_output.checksumLines;
        else
            lines.push_back("Cannot tell whether the output's checksums will match: the source could not be read.");
    }
    char first[160];
    std::snprintf(first, sizeof first, "Writes %llu byte%s (0x%llX): %zu of %d hunk%s ticked.",
                  static_cast<unsigned long long>(size), size == 1 ? "" : "s", static_cast<unsigned long long>(size),
                  tickedCount, count, count == 1 ? "" : "s");
    std::string text = first;
    for (const std::string& line : lines)
        text += "\n" + line;
    if (m_conflicts) {
        const std::string left = ConflictsLeft(m_conflicts->Places());
        if (!left.empty())
            text += "\n" + left;
    }
    return text;
}

namespace {

enum MenuCommand : UINT {
    kCopyTicked = 1,
    kTickFromClipboard,
    kOpen,
    kCorrectChecksums,
    kCopyPath,
    kCopyHashes,
    kOpenFolder,
    kAddPatch,
    kRemoveAdded,
    kNextConflict,
    kPreviousConflict,
    kKeepEarlier,
    kKeepLater,
};

// Whether a file is a ROM with a checksum that does not match.
bool wrongChecksum(const FileView& file)
{
    if (file.seen != FileView::Seen::known || !file.facts || file.facts->state != FileFacts::State::hashed)
        return false;
    const std::vector<RomChecksum>& checksums = file.facts->rom.checksums;
    return std::any_of(checksums.begin(), checksums.end(), [](const RomChecksum& c) { return !c.matches; });
}

struct MenuTraits {
    using Handle = HMENU;
    static Handle none() { return nullptr; }
    static void close(Handle menu) { DestroyMenu(menu); }
};

// Shows menu at screen and waits for the user's choice; 0 when nothing was chosen.
UINT chooseFrom(HMENU menu, HWND owner, POINT screen)
{
    return static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN,
                                            screen.x, screen.y, 0, owner, nullptr));
}

void addItem(HMENU menu, UINT command, const wchar_t* text, bool enabled)
{
    AppendMenuW(menu, MF_STRING | (enabled ? 0 : MF_GRAYED), command, text);
}

void addSeparator(HMENU menu) { AppendMenuW(menu, MF_SEPARATOR, 0, nullptr); }

constexpr const char* kClipboardBusy = "Cannot open the clipboard: another program is using it.";

// Puts text on the clipboard, or says why it cannot.
void copyText(HWND owner, const std::wstring& text)
{
    switch (SetClipboardText(owner, text)) {
    case ClipboardResult::done: break;
    case ClipboardResult::busy: report(kClipboardBusy); break;
    case ClipboardResult::failed: report("Insufficient memory to complete operation.", ReportIcon::stop); break;
    }
}

// Lines as the clipboard carries them.
std::wstring clipboardLines(const std::string& text)
{
    std::string lines;
    for (const char c : text)
        lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return WideText(lines);
}

// The bottom left corner of a control's rectangle of the window's client area, on screen.
POINT belowLeft(HWND window, RECT rect)
{
    POINT corner{rect.left, rect.bottom};
    ClientToScreen(window, &corner);
    return corner;
}

}  // namespace

INT_PTR CPatcherDlg::OnContextMenu(WPARAM, LPARAM point)
{
    // A report, a file dialog or the About box is up.
    if (!IsWindowEnabled(m_hWnd))
        return TRUE;
    const HWND list = GetDlgItem(IDC_HUNK_LIST);
    const struct {
        PathRow row;
        int group, browse;
    } rows[] = {{PathRow::source, IDC_SOURCE_GROUP, IDC_BROWSE_SOURCE},
                {PathRow::patch, IDC_PATCH_GROUP, IDC_BROWSE_PATCH},
                {PathRow::destination, IDC_DEST_GROUP, IDC_BROWSE_DEST}};
    POINT screen{GET_X_LPARAM(point), GET_Y_LPARAM(point)};
    if (screen.x == -1 && screen.y == -1) {
        // From the keyboard: for the control with the focus, beside it.
        const HWND focus = GetFocus();
        if (focus == list) {
            RECT row{};
            const LRESULT caret = SendMessageA(list, LB_GETCARETINDEX, 0, 0);
            if (caret < 0 || SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(caret),
                                          reinterpret_cast<LPARAM>(&row)) == LB_ERR)
                GetClientRect(list, &row);
            ShowListMenu(belowLeft(list, row));
            return TRUE;
        }
        for (const auto& r : rows) {
            if (focus == GetDlgItem(r.browse)) {
                RECT button;
                GetClientRect(focus, &button);
                ShowRowMenu(r.row, belowLeft(focus, button));
                return TRUE;
            }
        }
        return TRUE;
    }
    RECT rect;
    GetWindowRect(list, &rect);
    if (PtInRect(&rect, screen)) {
        ShowListMenu(screen);
        return TRUE;
    }
    for (const auto& r : rows) {
        GetWindowRect(GetDlgItem(r.group), &rect);
        if (PtInRect(&rect, screen)) {
            ShowRowMenu(r.row, screen);
            return TRUE;
        }
    }
    return TRUE;
}

void CPatcherDlg::ShowListMenu(POINT screen)
{
    const UniqueHandle<MenuTraits> menu(CreatePopupMenu());
    if (!menu)
        return;
    const int count = m_hunkList.GetCount();
    bool ticked = false;
    for (int row = 0; row < count && !ticked; ++row)
        ticked = m_hunkList.GetCheck(row) == 1;
    addItem(menu.get(), kCopyTicked, L"&Copy Ticked Hunks", ticked);
    addItem(menu.get(), kTickFromClipboard, L"&Tick Hunks from Clipboard", count > 0 && ClipboardHasText());
    addSeparator(menu.get());
    addItem(menu.get(), kAddPatch, L"&Add Patch...", !m_hunkSet.Patches().empty());
    AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    const bool conflicts = m_conflicts && m_conflicts->Places() > 0;
    addItem(menu.get(), kNextConflict, L"&Next Conflict\tF8", conflicts);
    addItem(menu.get(), kPreviousConflict, L"&Previous Conflict\tShift+F8", conflicts);
    addItem(menu.get(), kKeepEarlier, L"Keep &Earlier Patches in Conflicts", conflicts);
    addItem(menu.get(), kKeepLater, L"Keep &Later Patches in Conflicts", conflicts);
    switch (chooseFrom(menu.get(), m_hWnd, screen)) {
    case kCopyTicked: CopyTickedHunks(); break;
    case kTickFromClipboard: TickHunksFromClipboard(); break;
    case kAddPatch: OnAddPatch(); break;
    case kNextConflict: GoToConflict(true); break;
    case kPreviousConflict: GoToConflict(false); break;
    case kKeepEarlier: KeepInConflicts(true); break;
    case kKeepLater: KeepInConflicts(false); break;
    default: break;
    }
}

void CPatcherDlg::ShowRowMenu(PathRow row, POINT screen)
{
    const UniqueHandle<MenuTraits> menu(CreatePopupMenu());
    if (!menu)
        return;
    const std::string path = PathOf(row);
    const FileView file = m_rows.View(row);
    const std::string hashes = path.empty() || (row == PathRow::patch && m_rows.PatchReplaced())
                                   ? std::string()
                                   : HashesText(row, file);
    if (row == PathRow::destination) {
        addItem(menu.get(), kOpen, L"&Open", !path.empty() && file.seen != FileView::Seen::missing);
        SetMenuDefaultItem(menu.get(), kOpen, FALSE);
        addSeparator(menu.get());
    }
    addItem(menu.get(), kCopyPath, L"Copy &Path", !path.empty());
    addItem(menu.get(), kCopyHashes, L"Copy &Hashes", !hashes.empty());
    addSeparator(menu.get());
    addItem(menu.get(), kOpenFolder, L"Open Containing &Folder", !path.empty());
    // It rewrites the file: apart, at the end, away from the default.
    if (row == PathRow::destination) {
        addSeparator(menu.get());
        addItem(menu.get(), kCorrectChecksums, L"Correct Chec&ksums", wrongChecksum(file));
    }
    if (row == PathRow::patch) {
        addSeparator(menu.get());
        addItem(menu.get(), kAddPatch, L"&Add Patch...", !m_hunkSet.Patches().empty());
        addItem(menu.get(), kRemoveAdded, L"&Remove Added Patches", m_hunkSet.Patches().size() > 1);
    }
    switch (chooseFrom(menu.get(), m_hWnd, screen)) {
    case kOpen: OpenWithItsProgram(m_hWnd, path); break;
    case kCorrectChecksums: OnCorrectChecksums(); break;
    case kCopyPath: copyText(m_hWnd, WideText(path)); break;
    case kCopyHashes: copyText(m_hWnd, clipboardLines(hashes)); break;
    case kOpenFolder: ShowInFolder(path); break;
    case kAddPatch: OnAddPatch(); break;
    case kRemoveAdded: OnRemoveAddedPatches(); break;
    default: break;
    }
}

void CPatcherDlg::CopyTickedHunks()
{
    const int count = m_hunkList.GetCount();
    const bool known = m_hunkSet.ListOrder().size() == static_cast<std::size_t>(count);
    std::string labels;
    for (int row = 0; row < count; ++row) {
        if (m_hunkList.GetCheck(row) != 1)
            continue;
        if (!labels.empty())
            labels += "\n";
        labels += known ? m_hunkSet.LabelAt(static_cast<std::size_t>(row)) : m_hunkList.GetText(row);
    }
    copyText(m_hWnd, clipboardLines(labels));
}

void CPatcherDlg::TickHunksFromClipboard()
{
    if (m_hunkSet.ListOrder().size() != static_cast<std::size_t>(m_hunkList.GetCount()))
        return;
    // Either failure leaves the ticks as they were: a selection made with care is not lost.
    const std::optional<std::wstring> text = ClipboardText(m_hWnd);
    if (!text) {
        report(kClipboardBusy);
        return;
    }
    std::size_t unnamed = 0;
    const std::vector<int> ticks = m_hunkSet.TicksFromLabels(NarrowText(*text), unnamed);
    if (std::find(ticks.begin(), ticks.end(), 1) == ticks.end()) {
        report("No line on the clipboard names a hunk of this patch.");
        return;
    }
    for (std::size_t row = 0; row < ticks.size(); ++row)
        m_hunkList.SetCheck(static_cast<int>(row), ticks[row]);
    ShowConflicts();
    AnnounceCheckListTicks(m_hunkList);
    if (unnamed == 1)
        report("1 line on the clipboard names no hunk of this patch.");
    else if (unnamed > 1)
        report((std::to_string(unnamed) + " lines on the clipboard name no hunk of this patch.").c_str());
}

const std::string& CPatcherDlg::PathOf(PathRow row) const
{
    return row == PathRow::source ? m_sourcePath : row == PathRow::patch ? m_patchPath : m_destPath;
}

void CPatcherDlg::Chose(PathRow row)
{
    m_rows.Choose(row, PathOf(row));
    Request(row);
    if (row == PathRow::source)
        ShowRelations();
    m_watch.Watch({m_sourcePath, m_patchPath, m_destPath});
}

void CPatcherDlg::Request(PathRow row)
{
    if (std::optional<ReadRequest> request = m_rows.Refresh(row))
        m_reader.Read(row, std::move(*request));
}

void CPatcherDlg::ReadDue()
{
    KillTimer(m_hWnd, kDueTimer);
    const std::uint64_t at = now();
    bool source = false;
    for (const PathRow row : m_rows.Due(at)) {
        source = source || row == PathRow::source;
        Request(row);
    }
    if (const std::optional<std::uint64_t> next = m_rows.NextDue())
        SetTimer(m_hWnd, kDueTimer, static_cast<UINT>(*next > at ? std::min<std::uint64_t>(*next - at, 60000) : 1), nullptr);
}

std::string CPatcherDlg::SourceLineOf(std::size_t index) const
{
    if (const FileFacts* source = m_rows.SourceRelations()) {
        if (index >= source->relations.size())
            return {};
        // What it writes of the console's header comes before what it does to the bytes.
        const HunkSnapshot& hunks = *m_rows.Hunks();
        std::string lines;
        const HunkSpan span{hunks.Offset(index), hunks.Length(index), hunks.Bytes(index)};
        for (const std::string& line : HunkHeaderLines(source->rom, span, hunks.TargetSize()))
            lines += line + "\n";
        return lines + SourceLine(source->relations[index], source->seen.identity.size);
    }
    return m_rows.SourceSilent() ? std::string() : "Reading the source...";
}

void CPatcherDlg::ShowRelations()
{
    const FileFacts* source = m_rows.SourceRelations();
    std::vector<bool> dimmed;
    if (source) {
        dimmed.resize(source->relations.size());
        for (std::size_t i = 0; i < dimmed.size(); ++i)
            dimmed[i] = ChangesNothing(source->relations[i]);
    }
    DimCheckListItems(m_hunkList, std::move(dimmed));
    // What changes the source is what conflicts are made of.
    if (m_conflicts) {
        if (source)
            m_conflicts->SetSource(source->spanBytes, source->seen.identity.size);
        else
            m_conflicts->ClearSource();
        m_conflictTicks.clear();
    }
    ShowConflicts();
    CheckListDescriptionsChanged(m_hunkList);
}

void CPatcherDlg::ShowConflicts()
{
    if (!m_conflicts) {
        MarkCheckListItems(m_hunkList, {});
        return;
    }
    const int count = m_hunkList.GetCount();
    std::vector<int> ticks(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row)
        ticks[static_cast<std::size_t>(row)] = m_hunkList.GetCheck(row) == 1;
    // A stroke changes a few ticks: only their bytes are weighed again.
    std::vector<std::size_t> changed;
    if (m_conflictTicks.size() == ticks.size()) {
        for (std::size_t row = 0; row < ticks.size() && changed.size() <= 64; ++row)
            if (ticks[row] != m_conflictTicks[row])
                changed.push_back(row);
    }
    if (m_conflictTicks.size() != ticks.size() || changed.size() > 64) {
        m_conflicts->SetTicks(ticks);
    } else {
        for (const std::size_t row : changed)
            m_conflicts->SetTick(row, ticks[row] != 0);
    }
    m_conflictTicks = std::move(ticks);
    std::vector<bool> marked(m_hunkSet.GetCount());
    for (std::size_t i = 0; i < marked.size(); ++i)
        marked[i] = m_conflicts->InConflict(static_cast<std::uint32_t>(i));
    MarkCheckListItems(m_hunkList, std::move(marked));
}

std::string CPatcherDlg::HunkDescription(int row, std::uint32_t index) const
{
    if (!m_conflicts)
        return m_hunkSet.HunkText(index, SourceLineOf(index));
    std::string text = m_hunkSet.HunkText(
        index, SourceLineOf(index),
        OverlapLines(m_conflicts->OverlapsOf(index), [&](std::uint32_t other) { return m_conflicts->Name(other); }));
    if (m_hunkList.GetCheck(row) == 1 && m_conflicts->InConflict(index))
        text = std::string(kConflictLine) + "\n" + text;
    return text;
}

void CPatcherDlg::GoToConflict(bool forward)
{
    if (!m_conflicts)
        return;
    const int caret = static_cast<int>(SendDlgItemMessageA(m_hWnd, IDC_HUNK_LIST, LB_GETCARETINDEX, 0, 0));
    const int row = m_conflicts->NextConflict(caret, forward);
    if (row >= 0)
        MoveCheckListCaret(m_hunkList, row);
}

void CPatcherDlg::KeepInConflicts(bool earlier)
{
    if (!m_conflicts)
        return;
    ShowConflicts();
    for (const std::size_t row : m_conflicts->Settle(earlier))
        m_hunkList.SetCheck(static_cast<int>(row), 0);
    ShowConflicts();
    m_tips.Refresh();
}

std::string CPatcherDlg::ConflictSummaryLine() const
{
    return m_conflicts ? ConflictSummary(m_conflicts->Places(), m_conflicts->LostBytes()) : std::string();
}

void CPatcherDlg::ShowChanges(bool source)
{
    if (source)
        ShowRelations();
    // An open tip shows what just came, where it stands.
    m_refreshing = true;
    m_tips.Refresh();
    RefreshCheckListCaretTip(GetDlgItem(IDC_HUNK_LIST));
    m_refreshing = false;
}

INT_PTR CPatcherDlg::OnReaderAnswers(WPARAM, LPARAM)
{
    bool changed = false, source = false;
    const std::uint64_t at = now();
    for (CFileReader::Answer& answer : m_reader.TakeAnswers()) {
        if (answer.output) {
            if (m_outputFor && answer.request == m_outputFor->number) {
                m_output = std::move(answer.outputFacts);
                m_outputDone = true;
                changed = true;
            }
            continue;
        }
        if (m_rows.Answer(answer.row, answer.request, std::move(answer.facts), at)) {
            changed = true;
            source = source || answer.row == PathRow::source;
        }
    }
    ReadDue();
    if (changed)
        ShowChanges(source);
    return TRUE;
}

INT_PTR CPatcherDlg::OnWatchLooks(WPARAM, LPARAM)
{
    const std::uint64_t at = now();
    bool changed = false;
    for (const CFolderWatch::Look& look : m_watch.TakeLooks())
        changed = m_rows.Seen(look.path, look.seen, at) || changed;
    ReadDue();
    if (changed)
        ShowChanges(true);
    return TRUE;
}

INT_PTR CPatcherDlg::OnTimer(WPARAM timer, LPARAM)
{
    if (timer != kDueTimer)
        return FALSE;
    ReadDue();
    // Answers whose message could not be posted are taken here.
    OnReaderAnswers(0, 0);
    return TRUE;
}

INT_PTR CPatcherDlg::OnActivate(WPARAM state, LPARAM)
{
    m_watch.SetActive(LOWORD(state) != WA_INACTIVE);
    return FALSE;
}

INT_PTR CPatcherDlg::OnDeviceChange(WPARAM event, LPARAM data)
{
    m_watch.OnDeviceChange(event, data);
    return FALSE;  // TRUE grants a query: the dialog's default
}

// Patches dropped together on the Patch row or the list: the first as Browse takes it,
// each other as Add Patch does.
void CPatcherDlg::TakeDroppedPatches(const std::vector<std::wstring>& paths, POINT point)
{
    RECT patchRow, list;
    GetWindowRect(GetDlgItem(IDC_PATCH_GROUP), &patchRow);
    GetWindowRect(GetDlgItem(IDC_HUNK_LIST), &list);
    POINT screen = point;
    ClientToScreen(m_hWnd, &screen);
    if (!PtInRect(&patchRow, screen) && !PtInRect(&list, screen))
        return;
    if (paths.size() > kMostPatches) {
        report("Velquin holds at most 9 patches at once.");
        return;
    }
    std::vector<std::string> names(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (!exactName(paths[i], names[i]))
            return;
    UpdateData(true);
    TakePatch(names.front());
    for (std::size_t i = 1; i < names.size() && !m_hunkSet.Patches().empty(); ++i)
        AddPatch(names[i]);
}

// A file dropped on a row's group is chosen for that row; an .ips file dropped anywhere
// else is a patch.
void CPatcherDlg::TakeDroppedFile(const std::wstring& path, POINT point)
{
    auto inGroup = [&](int id) {
        RECT group;
        GetWindowRect(GetDlgItem(id), &group);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&group), 2);
        return PtInRect(&group, point) != FALSE;
    };
    int row = 0;
    if (inGroup(IDC_SOURCE_GROUP))
        row = IDC_SOURCE_GROUP;
    else if (inGroup(IDC_DEST_GROUP))
        row = IDC_DEST_GROUP;
    else if (inGroup(IDC_PATCH_GROUP) || endsWith(path, L".ips"))
        row = IDC_PATCH_GROUP;
    // A drop that is taken is refused first of all when its name cannot be held.
    std::string chosen;
    if (row == 0 || !exactName(path, chosen))
        return;
    UpdateData(true);
    if (row == IDC_SOURCE_GROUP) {
        TakeSource(chosen);
    } else if (row == IDC_DEST_GROUP) {
        // What the save dialog would ask.
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ||
            askReport((chosen + " already exists.\nDo you want to replace it?").c_str()))
            TakeDest(chosen);
    } else {
        TakePatch(chosen);
    }
}
