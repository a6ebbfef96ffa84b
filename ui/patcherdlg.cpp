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
#include "patch/correction.h"
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

// Posted by the background reader when it has answers.
constexpr UINT WM_APP_READER = WM_APP + 1;

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
    {WM_CONTEXTMENU, &CPatcherDlg::OnContextMenu},
};

namespace {

// Whether the reader has read all it reads of the file.
bool complete(const FileFacts& facts)
{
    return facts.state == FileFacts::State::hashed || facts.state == FileFacts::State::tooLarge;
}

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
OwnedFont chooseListFont(HWND list)
{
    RECT client;
    GetClientRect(list, &client);
    int room = client.right - CheckAreaWidth();
    if (!(GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL))
        room -= GetSystemMetrics(SM_CXVSCROLL);  // hidden while the list is short
    // Labels of six-digit offsets are all as wide as this one in a monospaced face.
    const std::string widest = CHunkSet::Label(0, 1);
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

    m_listFont = chooseListFont(GetDlgItem(IDC_HUNK_LIST));
    SendDlgItemMessageA(m_hWnd, IDC_HUNK_LIST, WM_SETFONT, reinterpret_cast<WPARAM>(m_listFont.get()), FALSE);
    m_logo.Show(m_hWnd);
    DragAcceptFiles(m_hWnd, TRUE);
    AcceptDropsFromLowerPrograms(m_hWnd);
    m_reader.Start(m_hWnd, WM_APP_READER);

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
    UpdateData(true);
    CFileDialog dialog(true, L"Patch Files (*.ips)|*.ips||", OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, m_hWnd);
    std::string path;
    if (dialog.DoModal() == IDOK && exactName(dialog.GetPathName(), path))
        TakePatch(path);
}

void CPatcherDlg::TakeSource(const std::string& path)
{
    m_sourcePath = path;
    UpdateData(false);
    ShowRelations();
    ReadRow(PathRow::source);
}

void CPatcherDlg::TakeDest(const std::string& path)
{
    m_destPath = path;
    UpdateData(false);
    ReadRow(PathRow::destination);
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
            m_hunks = loaded ? std::make_shared<const HunkSnapshot>(m_hunkSet) : nullptr;
        } catch (...) {
            m_hunks = nullptr;
            escaped = std::current_exception();
        }
    }
    if (!loaded)
        m_patchPath.clear();
    char count[16];
    std::snprintf(count, sizeof count, "%u", static_cast<unsigned>(m_hunkList.GetCount()));
    m_hunkCount = count;
    UpdateData(false);
    ReadRow(PathRow::patch);
    ReadWhatIsMissing();
    if (escaped)
        std::rethrow_exception(escaped);
}

void CPatcherDlg::OnCorrectChecksums()
{
    {
        // As for Patch: the destination is rewritten without sharing.
        BackgroundHold hold(m_reader.Thread());
        CWaitCursor wait;
        CorrectChecksums(m_sourcePath, m_destPath);
    }
    m_facts.erase(m_destPath);
    ReadRow(PathRow::destination);
}

void CPatcherDlg::OnPatch()
{
    {
        // Patch opens both files without sharing: the reader lets go of them first.
        BackgroundHold hold(m_reader.Thread());
        CWaitCursor wait;
        m_hunkSet.ApplyPatch(m_sourcePath, m_destPath, m_hunkList);
    }
    m_facts.erase(m_destPath);
    ReadRow(PathRow::destination);
}

void CPatcherDlg::OnSelectAll()
{
    for (int i = 0; i < m_hunkList.GetCount(); ++i)
        m_hunkList.SetCheck(i, 1);
    AnnounceCheckListTicks(m_hunkList);
}

void CPatcherDlg::OnSelectNone()
{
    for (int i = 0; i < m_hunkList.GetCount(); ++i)
        m_hunkList.SetCheck(i, 0);
    AnnounceCheckListTicks(m_hunkList);
}

void CPatcherDlg::OnInvert()
{
    for (int i = 0; i < m_hunkList.GetCount(); ++i)
        m_hunkList.SetCheck(i, 1 - m_hunkList.GetCheck(i));
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
    const std::wstring path = droppedFile(files);
    POINT point{};
    DragQueryPoint(files, &point);
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
            request->text = m_hunkSet.HunkText(index, SourceLineOf(index));
        return TRUE;
    }
    const UINT_PTR id = notification->idFrom;
    const bool pathRow = id == IDC_SOURCE_PATH || id == IDC_PATCH_PATH || id == IDC_DEST_PATH;
    const bool asked = notification->code == TTN_GETDISPINFOA || notification->code == TTN_GETDISPINFOW;
    if (notification->hwndFrom == m_tips.GetSafeHwnd() && asked) {
        if (id == reinterpret_cast<UINT_PTR>(GetDlgItem(IDOK))) {
            AnswerToolTipText(header, PatchButtonText(), m_tipText);
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
    const FileView view = ViewOf(row);
    std::vector<std::string> lines;
    if (row == PathRow::source && view.facts) {
        const std::string format = RomFormatLine(view.facts->rom);
        if (!format.empty())
            lines.push_back(format);
    }
    if (row == PathRow::patch) {
        const std::uint32_t stated = m_hunkSet.GetTargetSize();
        lines.push_back(stated == 0 ? "States no output size." : "States an output size of " + SizeText(stated) + ".");
        if (const FileFacts* source = SourceRelations()) {
            const std::string fit = FitLine(source->relations);
            if (!fit.empty())
                lines.push_back(fit);
            std::vector<HunkSpan> spans(m_hunks->Count());
            for (std::size_t i = 0; i < spans.size(); ++i)
                spans[i] = {m_hunks->Offset(i), m_hunks->Length(i), m_hunks->Bytes(i)};
            for (std::string& line : PatchFitLines(source->rom, source->stamp.size, stated, spans))
                lines.push_back(std::move(line));
        }
    }
    // A hash with spaces or line ends around it is still short.
    const std::string clipboardHash = ClipboardHash(ShortClipboardText(m_hWnd, 256));
    // The whole path first: the row may show it shortened.
    return PathOf(row) + "\n" + ::PathRowText(row, view, lines, clipboardHash);
}

std::string CPatcherDlg::PatchButtonText()
{
    const int count = m_hunkList.GetCount();
    if (m_sourcePath.empty() || !m_hunks || m_hunkSet.ListOrder().size() != static_cast<std::size_t>(count))
        return {};
    const auto known = m_facts.find(m_sourcePath);
    if (known == m_facts.end() || !complete(known->second))
        return "Working out the output...";
    std::vector<std::uint32_t> ticked;
    for (int row = 0; row < count; ++row)
        if (m_hunkList.GetCheck(row) == 1)
            ticked.push_back(m_hunkSet.ListOrder()[static_cast<std::size_t>(row)]);
    const FileFacts& source = known->second;
    const bool asked = m_outputFor && m_outputFor->source == m_sourcePath && m_outputFor->stamp == source.stamp &&
                       m_outputFor->hunks == m_hunks && m_outputFor->ticked == ticked;
    if (!asked) {
        m_outputFor = std::make_shared<const OutputRequest>(
            OutputRequest{m_sourcePath, source.stamp, source.rom, m_hunks, std::move(ticked)});
        m_outputDone = false;
        m_reader.WorkOut(m_outputFor);
    }
    if (!m_outputDone)
        return "Working out the output...";
    const std::uint64_t size = m_output.size;
    const std::size_t tickedCount = m_outputFor->ticked.size();
    char first[160];
    std::snprintf(first, sizeof first, "Writes %llu byte%s (0x%llX): %zu of %d hunk%s ticked.",
                  static_cast<unsigned long long>(size), size == 1 ? "" : "s", static_cast<unsigned long long>(size),
                  tickedCount, count, count == 1 ? "" : "s");
    std::string text = first;
    for (const std::string& line : m_output.checksumLines)
        text += "\n" + line;
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
    kOpenFolder
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
    switch (chooseFrom(menu.get(), m_hWnd, screen)) {
    case kCopyTicked: CopyTickedHunks(); break;
    case kTickFromClipboard: TickHunksFromClipboard(); break;
    default: break;
    }
}

void CPatcherDlg::ShowRowMenu(PathRow row, POINT screen)
{
    const UniqueHandle<MenuTraits> menu(CreatePopupMenu());
    if (!menu)
        return;
    const std::string path = PathOf(row);
    const FileView file = path.empty() ? FileView() : ViewOf(row);
    const std::string hashes = path.empty() ? std::string() : HashesText(row, file);
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
    switch (chooseFrom(menu.get(), m_hWnd, screen)) {
    case kOpen: OpenWithItsProgram(m_hWnd, path); break;
    case kCorrectChecksums: OnCorrectChecksums(); break;
    case kCopyPath: copyText(m_hWnd, WideText(path)); break;
    case kCopyHashes: copyText(m_hWnd, clipboardLines(hashes)); break;
    case kOpenFolder: ShowInFolder(path); break;
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

void CPatcherDlg::ReadRow(PathRow row)
{
    const std::string& path = PathOf(row);
    if (path.empty()) {
        m_reader.Forget(row);
        return;
    }
    ReadRequest request;
    request.path = path;
    const auto known = m_facts.find(path);
    if (known != m_facts.end() && complete(known->second))
        request.hashedAt = known->second.stamp;
    if (row == PathRow::source && m_hunks) {
        request.hunks = m_hunks;
        request.relationsKnown = request.hashedAt && known->second.relationsOf == m_hunks;
    }
    m_reader.Read(row, std::move(request));
}

void CPatcherDlg::ReadWhatIsMissing()
{
    for (const PathRow row : {PathRow::source, PathRow::patch, PathRow::destination}) {
        const std::string& path = PathOf(row);
        if (path.empty() || m_reader.Pending(row))
            continue;
        const auto known = m_facts.find(path);
        const bool relations = row == PathRow::source && m_hunks && known != m_facts.end() &&
                               complete(known->second) && known->second.relationsOf != m_hunks;
        if (known == m_facts.end() || relations)
            ReadRow(row);
    }
}

FileView CPatcherDlg::ViewOf(PathRow row)
{
    using Seen = FileView::Seen;
    const std::string& path = PathOf(row);
    FileView view;
    // Only the file's size and time: looking at them reads nothing of it, even of a file
    // kept online.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        view.seen = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Seen::missing : Seen::unreadable;
        return view;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        view.seen = Seen::unreadable;
        return view;
    }
    const FileStamp stamp = StampOf(data);
    view.size = stamp.size;
    if (KeptOnline(data.dwFileAttributes)) {
        view.seen = Seen::online;
        return view;
    }
    const auto known = m_facts.find(path);
    if (known != m_facts.end() && known->second.stamp == stamp && complete(known->second)) {
        view.seen = Seen::known;
        view.facts = &known->second;
        return view;
    }
    view.seen = Seen::reading;
    if (m_refreshingTip)
        return view;
    // Changed since it was read, or never read whole: read again. A file that could not
    // be read is tried again each time its tip shows.
    if (known != m_facts.end() && (known->second.stamp != stamp || !m_reader.Pending(row))) {
        const bool unreadable = known->second.state == FileFacts::State::unreadable && known->second.stamp == stamp;
        m_facts.erase(known);
        if (row == PathRow::source)
            ShowRelations();
        ReadRow(row);
        if (unreadable)
            view.seen = Seen::unreadable;
    } else if (known == m_facts.end() && !m_reader.Pending(row)) {
        ReadRow(row);
    }
    return view;
}

const FileFacts* CPatcherDlg::SourceRelations() const
{
    const auto known = m_facts.find(m_sourcePath);
    if (m_sourcePath.empty() || !m_hunks || known == m_facts.end() || !complete(known->second) ||
        known->second.relationsOf != m_hunks)
        return nullptr;
    return &known->second;
}

std::string CPatcherDlg::SourceLineOf(std::size_t index) const
{
    if (m_sourcePath.empty())
        return {};
    if (const FileFacts* source = SourceRelations()) {
        if (index >= source->relations.size())
            return {};
        // What it writes of the console's header comes before what it does to the bytes.
        std::string lines;
        const HunkSpan span{m_hunks->Offset(index), m_hunks->Length(index), m_hunks->Bytes(index)};
        for (const std::string& line : HunkHeaderLines(source->rom, span, m_hunks->TargetSize()))
            lines += line + "\n";
        return lines + SourceLine(source->relations[index], source->stamp.size);
    }
    const auto known = m_facts.find(m_sourcePath);
    if (known != m_facts.end() && !complete(known->second) && !m_reader.Pending(PathRow::source))
        return {};  // missing, unreadable or kept online: nothing to say of it
    return "Reading the source...";
}

void CPatcherDlg::ShowRelations()
{
    const FileFacts* source = SourceRelations();
    std::vector<bool> dimmed;
    if (source) {
        dimmed.resize(source->relations.size());
        for (std::size_t i = 0; i < dimmed.size(); ++i)
            dimmed[i] = ChangesNothing(source->relations[i]);
    }
    DimCheckListItems(m_hunkList, std::move(dimmed));
    CheckListDescriptionsChanged(m_hunkList);
}

INT_PTR CPatcherDlg::OnReaderAnswers(WPARAM, LPARAM)
{
    bool source = false;
    for (CFileReader::Answer& answer : m_reader.TakeAnswers()) {
        if (answer.output) {
            if (answer.request == m_outputFor) {
                m_output = std::move(answer.outputFacts);
                m_outputDone = true;
            }
            continue;
        }
        if (PathOf(answer.row) != answer.path)
            continue;
        source = source || answer.row == PathRow::source;
        FileFacts& facts = m_facts[answer.path];
        if (answer.facts.state != FileFacts::State::unchanged) {
            facts = std::move(answer.facts);
        } else if (facts.stamp != answer.facts.stamp || !complete(facts)) {
            m_facts.erase(answer.path);  // what it was compared with has gone meanwhile
        } else if (answer.facts.relationsOf) {
            facts.relationsOf = std::move(answer.facts.relationsOf);
            facts.relations = std::move(answer.facts.relations);
        }
    }
    if (source)
        ShowRelations();
    ReadWhatIsMissing();
    // An open tip shows what just came, where it stands.
    m_refreshingTip = true;
    m_tips.Refresh();
    m_refreshingTip = false;
    return TRUE;
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
