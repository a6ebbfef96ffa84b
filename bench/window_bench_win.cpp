// The program's main window, made from its own template and driven through its own
// handlers as a user meets them, with the file dialogs left out: each Browse command
// takes the file straight away. Each command is timed until the window has painted,
// and set beside the floors it cannot go below, measured in the same run:
//   (a) the list box messages a fill needs, alone: the label and its data word, on a
//       bare list box;
//   (b) the engine's own reading, labelling and sorting;
//   (c) for Patch: reading the source, and writing, flushing and replacing the output
//       as the program does it (the walk over the list's ticks is timed beside it).
// The selection commands are set beside their 10 ms goal.
// The commands run twice a run: with the rows that change nothing drawn grey, and with
// that turned off by the benchmark, as the window was before it knew. Besides, what the
// background reader costs: the source read with every hunk's relation, against the same
// reader hashing alone; a hunk's text and the Source row's tip once it is read; and how
// long the window takes to answer while a 1 GiB file is read.

#include "bench/window_bench_win.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/resource.h"
#include "bench/timing_win.h"
#include "framework/file.h"
#include "framework/portable/report_record.h"
#include "framework/win32/checklistbox_tips.h"
#include "framework/win32/checklistbox_win32.h"
#include "framework/win32/checklistbox_window.h"
#include "framework/win32/winapp.h"
#include "patch/hunkset.h"
#include "patch/romformat.h"
#include "tests/support/files.h"
#include "tests/support/listhost.h"
#include "ui/filereader.h"
#include "ui/patcherdlg.h"

namespace {

using benchtime::now;

void require(bool ok, const std::string& what)
{
    if (!ok)
        throw std::runtime_error(what);
}

// Times of each figure, one per run.
using Times = std::map<std::string, std::vector<double>>;

double timed(const std::function<void()>& body)
{
    const double start = now();
    body();
    return now() - start;
}

// A window that takes a list's messages and keeps nothing but a count: a load into it
// costs the engine's own work plus one dispatch a message, which is timed apart.
class NullList {
public:
    NullList()
    {
        static const ATOM atom = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = proc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "VelquinNullList";
            return RegisterClassA(&wc);
        }();
        m_hwnd = CreateWindowA(reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(atom)), "", 0, 0, 0, 0, 0, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
        require(m_hwnd != nullptr, "cannot create the null list");
        SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~NullList() { DestroyWindow(m_hwnd); }
    NullList(const NullList&) = delete;
    NullList& operator=(const NullList&) = delete;

    HWND hwnd() const { return m_hwnd; }
    long messages = 0;

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<NullList*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (!self || message < LB_ADDSTRING || message > LB_MSGMAX)
            return DefWindowProcA(window, message, wParam, lParam);
        ++self->messages;
        switch (message) {
        case LB_RESETCONTENT: self->m_count = 0; return 0;
        case LB_ADDSTRING:
        case LB_INSERTSTRING: return self->m_count++;
        case LB_GETCOUNT: return self->m_count;
        case LB_INITSTORAGE: return static_cast<LRESULT>(wParam);
        case LB_GETITEMRECT: return LB_ERR;
        default: return 0;
        }
    }

    HWND m_hwnd = nullptr;
    LRESULT m_count = 0;
};

// (b): LoadPatch into the null list, less as many messages sent to it alone.
double engineFloor(const std::string& patch, std::size_t records)
{
    NullList null;
    CCheckListBox list;
    list.impl().hwnd = null.hwnd();
    CHunkSet set;
    recordedReports().clear();
    const double load = timed([&] { require(set.LoadPatch(patch, list), "the patch did not load"); });
    require(static_cast<std::size_t>(list.GetCount()) == records, "the null list did not count the patch");
    list.impl().hwnd = nullptr;
    const long messages = null.messages;
    const double dispatch = timed([&] {
        for (long i = 0; i < messages; ++i)
            SendMessageA(null.hwnd(), LB_GETCOUNT, 0, 0);
    });
    return load > dispatch ? load - dispatch : 0;
}

void settle(HWND window) { RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }

// A bare list box, shown, filled as a load fills it with redraw held off: (a).
double fillBare(support::ListBoxHost& host, const std::vector<std::string>& labels)
{
    HWND list = host.list();
    return timed([&] {
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        for (std::size_t i = 0; i < labels.size(); ++i) {
            const LRESULT at = SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                                            reinterpret_cast<LPARAM>(labels[i].c_str()));
            SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(i));
        }
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
        settle(list);
    });
}

// The program's check list over a list box of its own, all ticked; the list outlives
// the window, as the control needs.
struct CheckList {
    CCheckListBox list;
    support::ListBoxHost host{true};
    CHunkSet set;

    explicit CheckList(const std::string& patch)
    {
        require(AttachCheckList(list, host.list()), "cannot make the list a check list");
        CheckListRedrawOff quiet(list);
        require(set.LoadPatch(patch, list), "the patch did not load");
    }
};

// (c): the source read whole, and the output written, flushed and put in the place of
// the old one, with the calls ApplyPatch makes; and the walk over the ticks.
void patchFloors(CheckList& ticked, const std::string& source, const std::string& folder, Times& times)
{
    times["walk"].push_back(timed([&] {
        std::uint64_t sum = 0;
        for (int i = 0; i < ticked.list.GetCount(); ++i)
            if (ticked.list.GetCheck(i) == 1)
                sum += ticked.list.GetItemData(i);
        require(sum != 0, "nothing ticked");
    }));
    std::vector<unsigned char> image;
    times["read"].push_back(timed([&] {
        CFile in;
        require(in.Open(source.c_str(), CFile::modeRead), "cannot open the source");
        image.resize(static_cast<std::size_t>(in.GetLength()));
        require(in.Read(image.data(), image.size()) == image.size(), "cannot read the source");
        in.Close();
    }));
    const std::string destination = support::joinPath(folder, "floor.bin");
    if (!support::fileExists(destination))
        support::writeFile(destination, support::Bytes(1, 0));
    const std::string temp = destination + ".~vq0";
    times["write"].push_back(timed([&] {
        CFile out;
        require(out.Open(temp.c_str(), CFile::modeCreateNew), "cannot create the floor's output");
        out.Write(image.data(), image.size());
        out.Flush();
        out.Close();
        std::string stranded;
        require(CFile::Replace(temp.c_str(), destination.c_str(), stranded), "cannot replace the floor's output");
    }));
}

class BenchApp : public CWinApp {
public:
    std::function<void()> body;
    std::exception_ptr escaped;

    bool InitInstance() override
    {
        body();
        return false;
    }
    // An error out of a command is the benchmark's failure, not a box to answer.
    void ReportException(std::exception_ptr error) noexcept override
    {
        if (!escaped)
            escaped = error;
    }
};

// The reader's own work, on this thread: the source hashed alone, and hashed with what
// every hunk of the patch does to it.
void readerFloors(const WindowBenchFiles& files, Times& times)
{
    CCheckListBox list;
    NullList null;
    list.impl().hwnd = null.hwnd();
    CHunkSet set;
    require(set.LoadPatch(files.patch, list), "the patch did not load");
    list.impl().hwnd = nullptr;
    const auto hunks = std::make_shared<const HunkSnapshot>(set);
    const auto never = [] { return false; };
    // The ROM scan the read makes beside the hashes, alone, over the same blocks.
    const support::Bytes bytes = support::readFile(files.source);
    const double scanStart = now();
    RomScan scan(bytes.size());
    for (std::size_t at = 0; at < bytes.size(); at += 1 << 20)
        scan.Add(bytes.data() + at, std::min<std::size_t>(1 << 20, bytes.size() - at));
    require(scan.Finish().format == RomFormat::snes, "the bench's source is no SNES ROM");
    times["(h) the ROM scan alone"].push_back(now() - scanStart);
    for (const bool relate : {false, true}) {
        FileFacts facts;
        const double start = now();
        require(ReadFacts({1, files.source, {}, relate ? hunks : nullptr, false}, never, facts) &&
                    facts.state == FileFacts::State::hashed,
                "the reader did not hash the source");
        times[relate ? "(e) the reader: hashes and every relation" : "(f) the reader: hashes alone"].push_back(
            now() - start);
    }
}

// A file of exactly 1 GiB, sparse where the file system allows.
std::string gigabyteFile(const std::string& folder)
{
    const std::string path = support::joinPath(folder, "gigabyte.bin");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    require(file != INVALID_HANDLE_VALUE, "cannot make the 1 GiB file");
    LARGE_INTEGER size;
    size.QuadPart = kHashLimit;
    const bool made = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    require(made, "cannot make the 1 GiB file");
    return path;
}

// One run of the commands in a new main window, from a timer in its modal loop.
class Script {
public:
    Script(const WindowBenchFiles& files, Times& times, bool dimming, bool gigabyte)
        : m_files(files),
          m_times(times),
          m_dimming(dimming),
          m_gigabyte(gigabyte),
          m_copy(support::joinPath(files.folder, "source-copy.bin"))
    {
    }

    void run()
    {
        m_dialog.reset(new CPatcherDlg);
        AfxGetApp()->m_pMainWnd = m_dialog.get();
        s_current = this;
        SetTimer(nullptr, 0, 1, &Script::onTimer);
        m_dialog->DoModal();
        m_dialog.reset();
        m_times["closing the window"].push_back(now() - m_closing);
        AfxGetApp()->m_pMainWnd = nullptr;
        s_current = nullptr;
        if (!m_failure.empty())
            throw std::runtime_error(m_failure);
    }

private:
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        if (s_current)
            s_current->commands();
    }

    HWND window() const { return m_dialog->GetSafeHwnd(); }
    HWND list() const { return GetDlgItem(window(), IDC_HUNK_LIST); }

    std::string count() const
    {
        char text[32] = "";
        GetDlgItemTextA(window(), IDC_HUNK_COUNT, text, sizeof text);
        return text;
    }

    void click(int id)
    {
        SendMessageA(window(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window(), id)));
    }

    // The name of a figure of the commands, in this run's variant.
    std::string named(const char* name) const { return std::string(name) + (m_dimming ? "" : " [no grey]"); }

    // Runs body and times it until the window has painted.
    void time(const char* name, const std::function<void()>& body)
    {
        recordedReports().clear();
        const double start = now();
        body();
        settle(window());
        m_times[named(name)].push_back(now() - start);
    }

    // The dialog's tooltip for its path rows: of the windows of that class it owns, the
    // one with their tools (the caret's has one).
    HWND toolTip() const
    {
        struct Search {
            HWND owner, found;
        } search{window(), nullptr};
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND w, LPARAM p) {
                auto* s = reinterpret_cast<Search*>(p);
                char name[32] = "";
                GetClassNameA(w, name, sizeof name);
                if (GetWindow(w, GW_OWNER) == s->owner && lstrcmpiA(name, TOOLTIPS_CLASSA) == 0 &&
                    SendMessageA(w, TTM_GETTOOLCOUNT, 0, 0) > 1)
                    s->found = w;
                return s->found ? FALSE : TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        require(search.found != nullptr, "the window has no tooltip");
        return search.found;
    }

    // A path row's tip as the tooltip asks for it when it is about to show.
    std::string rowTip(int id)
    {
        NMTTDISPINFOA info{};
        info.hdr.hwndFrom = toolTip();
        info.hdr.idFrom = static_cast<UINT_PTR>(id);
        info.hdr.code = TTN_GETDISPINFOA;
        SendMessageA(window(), WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&info));
        return info.lpszText ? info.lpszText : "";
    }
    std::string patchTip()
    {
        NMTTDISPINFOA info{};
        info.hdr.hwndFrom = toolTip();
        info.hdr.idFrom = reinterpret_cast<UINT_PTR>(GetDlgItem(window(), IDOK));
        info.hdr.code = TTN_GETDISPINFOA;
        info.uFlags = TTF_IDISHWND;
        SendMessageA(window(), WM_NOTIFY, IDOK, reinterpret_cast<LPARAM>(&info));
        return info.lpszText ? info.lpszText : "";
    }
    std::string middleHunkText() const
    {
        return DescribeCheckListItem(list(), static_cast<int>(m_files.listOrder.size() / 2));
    }

    // Lets the window take its messages until ready holds, looking after each message and
    // every pollMs besides; the reader's answers come as messages, so a long pollMs leaves
    // the window idle while the reader works, as it is for a user.
    void pumpUntil(const std::function<bool()>& ready, const char* what, DWORD pollMs = 20)
    {
        const double start = now();
        while (!ready()) {
            require(now() - start < 300, std::string("the window never showed ") + what);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, pollMs, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    }
    bool relationShown() const
    {
        const std::string text = middleHunkText();
        return text.find("Reading the source") == std::string::npos && text.find("source") != std::string::npos;
    }
    // Until the reader has read every chosen file and what the loaded patch does to the
    // source; then, in the run without grey rows, their grey is taken away again.
    void readerDone()
    {
        pumpUntil(
            [&] {
                if (!relationShown())
                    return false;
                for (const int row : {IDC_SOURCE_PATH, IDC_PATCH_PATH, IDC_DEST_PATH})
                    if (rowTip(row).find("Computing the hashes") != std::string::npos)
                        return false;
                return true;
            },
            "what every file holds and what the middle hunk does to the source");
        if (!m_dimming)
            DimCheckListItems(*reinterpret_cast<CCheckListBox*>(GetWindowLongPtrA(list(), GWLP_USERDATA)), {});
        settle(window());
    }

    void expectReport(const char* text, const char* after)
    {
        require(recordedReports().size() == 1 && recordedReports()[0].text == text,
                std::string("no report \"") + text + "\" after " + after);
    }

    // Asks the window every few milliseconds from another thread while it shows a 1 GiB
    // file's hashes being read, and keeps the slowest answer.
    void answerWhileAGigabyteIsRead()
    {
        const std::string big = gigabyteFile(m_files.folder);
        std::atomic<bool> reading{true};
        double worst = 0;
        long asked = 0;
        const HWND target = window();
        m_dialog->TakeDest(big);
        std::thread prober([&] {
            while (reading) {
                const double start = now();
                DWORD_PTR result;
                SendMessageTimeoutA(target, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
                worst = std::max(worst, now() - start);
                ++asked;
                Sleep(5);
            }
        });
        const double start = now();
        pumpUntil([&] { return rowTip(IDC_DEST_PATH).find("\nSHA-256 ") != std::string::npos; }, "the 1 GiB file's hashes");
        m_times["1 GiB read by the reader"].push_back(now() - start);
        reading = false;
        prober.join();
        m_times["the window's slowest answer while 1 GiB is read"].push_back(worst);
        m_times["answers while 1 GiB is read"].push_back(static_cast<double>(asked));
        support::removeFile(big);
    }

    // A click on a row's check box, as the list gets it from the mouse.
    void clickBox(int row, WPARAM keys)
    {
        SendMessageA(list(), LB_SETTOPINDEX, static_cast<WPARAM>(row), 0);
        RECT rect;
        SendMessageA(list(), LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
        const LPARAM point = MAKELPARAM(rect.left + 3, (rect.top + rect.bottom) / 2);
        SendMessageA(list(), WM_LBUTTONDOWN, keys, point);
        SendMessageA(list(), WM_LBUTTONUP, keys, point);
    }
    int caret() const { return static_cast<int>(SendMessageA(list(), LB_GETCARETINDEX, 0, 0)); }

    // With none ticked: every row ticked by a Shift+click from the first to the last; the
    // slowest digit of an offset typed; the ticks put back from the clipboard.
    void strokes()
    {
        const int last = static_cast<int>(m_files.listOrder.size()) - 1;
        clickBox(0, 0);
        time("Shift+click over every row (none ticked)", [&] { clickBox(last, MK_SHIFT); });
        require(recordedReports().empty() && SendMessageA(list(), LB_GETCOUNT, 0, 0) == last + 1,
                "a Shift+click misbehaves");
        double slowest = 0;
        for (const char digit : std::string("7FFF00")) {
            const double start = now();
            SendMessageA(list(), WM_CHAR, static_cast<WPARAM>(digit), 0);
            slowest = std::max(slowest, now() - start);
        }
        m_times[named("a digit typed, the slowest of 6")].push_back(slowest);
        // The floor of a caret that moves far: the list box's own scroll to the row.
        const double start = now();
        for (const int row : {0, last / 2, 10, last})
            SendMessageA(list(), LB_SETTOPINDEX, static_cast<WPARAM>(row), 0);
        m_times[named("(g) the list box scrolled to a row, alone")].push_back((now() - start) / 4);
        m_dialog->CopyTickedHunks();
        click(IDC_SELECT_NONE);
        time("Tick Hunks from Clipboard (every row)", [&] { m_dialog->TickHunksFromClipboard(); });
        require(recordedReports().empty(), "the clipboard names a label the list lacks");
        click(IDC_SELECT_NONE);
    }

    void commands()
    {
        try {
            const std::string shown = std::to_string(m_files.listOrder.size());
            const std::string bad = support::joinPath(m_files.folder, "bad.ips");
            const std::string out = support::joinPath(m_files.folder, "out.bin");
            m_dialog->TakeDest(out);
            settle(window());
            time("first load", [&] { m_dialog->TakePatch(m_files.patch); });
            require(count() == shown, "the first load shows " + count() + " hunks");
            // Chosen with the patch loaded, once the patch file is read: one read gives the
            // hashes and every relation.
            pumpUntil([&] { return rowTip(IDC_PATCH_PATH).find("\nSHA-256 ") != std::string::npos; },
                      "the patch file's hashes");
            double start = now();
            m_dialog->TakeSource(m_files.source);
            pumpUntil([&] { return relationShown(); }, "what the middle hunk does to the source", 1000);
            m_times[named("source read with every relation, shown")].push_back(now() - start);
            readerDone();
            start = now();
            const std::string text = middleHunkText();
            m_times[named("hunk text, middle of the list, read")].push_back(now() - start);
            require(text.rfind("Writes ", 0) == 0, "the middle hunk's text is " + text);
            start = now();
            const std::string tip = rowTip(IDC_SOURCE_PATH);
            m_times[named("Source tip, read")].push_back(now() - start);
            require(tip.find("\n16777216 bytes (0x1000000)\nCRC32 ") != std::string::npos && tip.find("\nSHA-256 ") != std::string::npos,
                    "the Source tip says: " + tip);
            time("second load of the same patch", [&] { m_dialog->TakePatch(m_files.patch); });
            require(count() == shown, "the second load shows " + count() + " hunks");
            readerDone();
            time("load of another large patch", [&] { m_dialog->TakePatch(m_files.other); });
            readerDone();
            time("failed load over a full list", [&] { m_dialog->TakePatch(bad); });
            expectReport("Patch is not a valid IPS file.", "a failed load");
            require(count() == "0", "a failed load leaves a count of " + count());
            // With no patch loaded, a copy of the source: its hashes alone.
            start = now();
            m_dialog->TakeSource(m_copy);
            pumpUntil([&] { return rowTip(IDC_SOURCE_PATH).find("\nSHA-256 ") != std::string::npos; },
                      "the copy's hashes", 1000);
            m_times[named("source read, hashes alone, shown")].push_back(now() - start);
            m_dialog->TakeSource(m_files.source);
            m_dialog->TakePatch(m_files.patch);
            readerDone();
            time("Invert (all ticked)", [&] { click(IDC_INVERT); });
            time("Select All (none ticked)", [&] { click(IDC_SELECT_ALL); });
            time("Select None (all ticked)", [&] { click(IDC_SELECT_NONE); });
            strokes();
            click(IDC_SELECT_ALL);
            // The Patch button's tip, every hunk ticked, through the checksums of 16 MiB.
            start = now();
            pumpUntil([&] { return patchTip().find("Working out") == std::string::npos; }, "the Patch button's tip", 1000);
            m_times[named("the Patch button's tip")].push_back(now() - start);
            require(patchTip().find("The output's checksum will not match") != std::string::npos,
                    "the Patch button's tip says: " + patchTip());
            time("Patch", [&] { click(IDOK); });
            expectReport("Patching completed successfully.", "Patch");
            pumpUntil([&] { return rowTip(IDC_DEST_PATH).find("\nSHA-256 ") != std::string::npos; },
                      "the destination's hashes after Patch");
            if (m_gigabyte)
                answerWhileAGigabyteIsRead();
        } catch (const std::exception& e) {
            m_failure = e.what();
        }
        m_closing = now();
        click(IDCANCEL);
    }

    const WindowBenchFiles& m_files;
    Times& m_times;
    const bool m_dimming, m_gigabyte;
    const std::string m_copy;  // the source's bytes under another name
    std::unique_ptr<CPatcherDlg> m_dialog;
    double m_closing = 0;
    std::string m_failure;
    static Script* s_current;
};

Script* Script::s_current = nullptr;

void runOnce(const WindowBenchFiles& files, Times& times)
{
    {
        support::ListBoxHost bare(true);
        times["(a) add + data, bare list"].push_back(fillBare(bare, files.listOrder));
        times["LB_RESETCONTENT of the full bare list"].push_back(
            timed([&] { SendMessageA(bare.list(), LB_RESETCONTENT, 0, 0); }));
    }
    times["(b) engine: reading, labelling, sorting"].push_back(engineFloor(files.patch, files.listOrder.size()));
    {
        CheckList ticked(files.patch);
        patchFloors(ticked, files.source, files.folder, times);
    }
    readerFloors(files, times);
    // Which variant goes first changes from run to run, so that neither always finds the
    // heap as the other left it.
    const std::size_t run = times["(f) the reader: hashes alone"].size();
    for (const bool dimming : {run % 2 == 1, run % 2 == 0})
        Script(files, times, dimming, dimming && run == 1).run();
}

}  // namespace

void windowFigures(const WindowBenchFiles& files, int runs)
{
    support::writeFile(support::joinPath(files.folder, "bad.ips"), {'N', 'O', 'T', 'A', 'P', 'A', 'T', 'C', 'H'});
    support::writeFile(support::joinPath(files.folder, "source-copy.bin"), support::readFile(files.source));
    Times times;
    BenchApp app;
    app.body = [&] {
        for (int i = 0; i < runs; ++i)
            runOnce(files, times);
    };
    app.Run(GetModuleHandleA(nullptr));
    if (app.escaped)
        std::rethrow_exception(app.escaped);

    auto median = [&](const std::string& name) { return benchtime::median(times.at(name)); };
    const double add = median("(a) add + data, bare list"), engine = median("(b) engine: reading, labelling, sorting");
    const double first = median("first load");
    const double patchFloor = median("read") + median("write");
    std::printf("\nThe main window, shown, driven through its own handlers: %zu hunks over a 16 MiB source, a quarter\n"
                "of them in it already; each figure the median of %d runs, until the window has painted; ratios of\n"
                "medians of this run\n",
                files.listOrder.size(), runs);
    auto row = [](const std::string& name, double seconds, const char* against = nullptr, double floor = 0) {
        std::printf("  %-50s %8.1f ms", name.c_str(), seconds * 1e3);
        if (against)
            std::printf("   x%.2f of %s", seconds / floor, against);
        std::printf("\n");
    };
    std::printf(" commands (and x of the same without grey rows)\n");
    auto command = [&](const std::string& name, const char* against, double floor) {
        row(name, median(name), against, floor);
        row("", median(name), "no grey", median(name + " [no grey]"));
    };
    command("first load", "(a)+(b)", add + engine);
    for (const char* name : {"second load of the same patch", "load of another large patch"}) {
        command(name, "(a)+(b)", add + engine);
        row("", median(name), "the first load", first);
    }
    row("failed load over a full list", median("failed load over a full list"), "the first load", first);
    for (const char* name : {"Invert (all ticked)", "Select All (none ticked)", "Select None (all ticked)"})
        command(name, "10 ms", 0.010);
    command("Patch", "(c)", patchFloor);
    const double selectAll = median("Select All (none ticked)");
    std::printf(" the list in a few strokes (goals: x1.3 and x1.5 of Select All; a digit under 5 ms)\n");
    const double scroll = median("(g) the list box scrolled to a row, alone");
    row("Shift+click over every row (none ticked)", median("Shift+click over every row (none ticked)"),
        "Select All", selectAll);
    row("Tick Hunks from Clipboard (every row)", median("Tick Hunks from Clipboard (every row)"), "Select All",
        selectAll);
    row("a digit typed, the slowest of 6", median("a digit typed, the slowest of 6"), "(g)", scroll);
    const std::vector<double>& tips = times.at("the Patch button's tip");
    std::printf("  %-50s %8.1f ms   the slowest of %zu (goal: under 100 ms)\n", "the Patch button's tip, every hunk",
                *std::max_element(tips.begin(), tips.end()) * 1e3, tips.size());
    row("(g) the list box scrolled to a row, alone", scroll);
    row("closing the window", median("closing the window"), "the first load", first);
    std::printf(" the background reader (goals: the source's read x1.3 of hashing alone at most; a hunk's text\n"
                " under 1 ms; every answer of the window under 50 ms while 1 GiB is read)\n");
    const double hashing = median("(f) the reader: hashes alone");
    row("source read with every relation, shown", median("source read with every relation, shown"),
        "hashes alone", median("source read, hashes alone, shown"));
    row("source read, hashes alone, shown", median("source read, hashes alone, shown"), "(f)", hashing);
    row("(e) the reader: hashes and every relation", median("(e) the reader: hashes and every relation"), "(f)",
        hashing);
    row("(f) the reader: hashes alone", hashing);
    const double reading = median("(e) the reader: hashes and every relation"), scanning = median("(h) the ROM scan alone");
    row("(h) the ROM scan alone", scanning, "(e) less (h)", reading - scanning);
    for (const char* name : {"hunk text, middle of the list, read", "Source tip, read"})
        row(name, median(name));
    row("1 GiB read by the reader", median("1 GiB read by the reader"));
    std::printf("  %-50s %8.1f ms   of %.0f answers\n", "the window's slowest answer meanwhile",
                median("the window's slowest answer while 1 GiB is read") * 1e3,
                median("answers while 1 GiB is read"));
    std::printf(" floors\n");
    row("(a) add + data, bare list", add);
    row("(b) engine: reading, labelling, sorting", engine);
    row("(a)+(b)", add + engine);
    row("(c) read + write", patchFloor);
    row("    read: the source, whole", median("read"));
    row("    write: flushed, replacing the old output", median("write"));
    row("the walk: count, check, data per item", median("walk"));
    row("LB_RESETCONTENT of the full bare list", median("LB_RESETCONTENT of the full bare list"));
}
