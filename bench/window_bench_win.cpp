// The program's main window, made from its own template and driven through its own
// handlers as a user meets them, with the file dialogs left out: each Browse command
// takes the file straight away. Each command is timed until the window has painted,
// and set beside the floors it cannot go below, measured in the same run:
//   (a) the list box messages a fill needs, alone: the label and its data word, on a
//       bare list box;
//   (b) the engine's own reading, labelling and sorting;
//   (c) for Patch: the list walk, reading the source, and writing, flushing and
//       replacing the output as the program does it;
//   (d) for the selection commands: reading and writing each item's word, bare list.
// Besides, what a tooltip costs: the text of a hunk in the middle of the list, and the
// Source row's size and hashes the first time and again.

#include "bench/window_bench_win.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
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
#include "tests/support/files.h"
#include "tests/support/listhost.h"
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
            SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(WordWithCheck(i, 1)));
        }
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
        settle(list);
    });
}

// (d): every item's word read and written once, bare list.
double flipBare(HWND list)
{
    return timed([&] {
        const LRESULT n = SendMessageA(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) {
            const auto word = static_cast<std::uint64_t>(SendMessageA(list, LB_GETITEMDATA, i, 0));
            SendMessageA(list, LB_SETITEMDATA, i, static_cast<LPARAM>(WordWithCheck(word, 1 - CheckOfWord(word))));
        }
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

// (c): the walk over the ticks, the source read whole, and the output written,
// flushed and put in the place of the old one, with the calls ApplyPatch makes.
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

// One run of the commands in a new main window, from a timer in its modal loop.
class Script {
public:
    Script(const WindowBenchFiles& files, Times& times) : m_files(files), m_times(times) {}

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

    // Runs body and times it until the window has painted.
    void time(const char* name, const std::function<void()>& body)
    {
        recordedReports().clear();
        const double start = now();
        body();
        settle(window());
        m_times[name].push_back(now() - start);
    }

    // The dialog's tooltip: the one window of that class it owns.
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
                if (GetWindow(w, GW_OWNER) == s->owner && lstrcmpiA(name, TOOLTIPS_CLASSA) == 0)
                    s->found = w;
                return s->found ? FALSE : TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        require(search.found != nullptr, "the window has no tooltip");
        return search.found;
    }

    // The Source row's tip as the tooltip asks for it when it is about to show.
    std::string sourceTip(const char* name)
    {
        NMTTDISPINFOA info{};
        info.hdr.hwndFrom = toolTip();
        info.hdr.idFrom = IDC_SOURCE_PATH;
        info.hdr.code = TTN_GETDISPINFOA;
        const double start = now();
        SendMessageA(window(), WM_NOTIFY, IDC_SOURCE_PATH, reinterpret_cast<LPARAM>(&info));
        m_times[name].push_back(now() - start);
        const std::string text = info.lpszText ? info.lpszText : "";
        const bool hashed = text.find("\nSHA-256 ") != std::string::npos;
        require(text.rfind("16777216 bytes (0x1000000)\nCRC32 ", 0) == 0 && hashed, "the Source tip says: " + text);
        return text;
    }

    void expectReport(const char* text, const char* after)
    {
        require(recordedReports().size() == 1 && recordedReports()[0].text == text,
                std::string("no report \"") + text + "\" after " + after);
    }

    void commands()
    {
        try {
            const std::string shown = std::to_string(m_files.listOrder.size());
            const std::string bad = support::joinPath(m_files.folder, "bad.ips");
            m_dialog->TakeSource(m_files.source);
            m_dialog->TakeDest(support::joinPath(m_files.folder, "out.bin"));
            settle(window());
            time("first load", [&] { m_dialog->TakePatch(m_files.patch); });
            require(count() == shown, "the first load shows " + count() + " hunks");
            const std::string first = sourceTip("Source tip, first time");
            require(sourceTip("Source tip again (kept)") == first, "the Source tip changed");
            const double start = now();
            const std::string text = DescribeCheckListItem(GetDlgItem(window(), IDC_HUNK_LIST),
                                                           static_cast<int>(m_files.listOrder.size() / 2));
            m_times["hunk text, middle of the list"].push_back(now() - start);
            require(text.rfind("Writes ", 0) == 0, "the middle hunk's text is " + text);
            time("second load of the same patch", [&] { m_dialog->TakePatch(m_files.patch); });
            require(count() == shown, "the second load shows " + count() + " hunks");
            time("load of another large patch", [&] { m_dialog->TakePatch(m_files.other); });
            time("failed load over a full list", [&] { m_dialog->TakePatch(bad); });
            expectReport("Patch is not a valid IPS file.", "a failed load");
            require(count() == "0", "a failed load leaves a count of " + count());
            m_dialog->TakePatch(m_files.patch);
            time("Invert (all ticked)", [&] { click(IDC_INVERT); });
            time("Select All (none ticked)", [&] { click(IDC_SELECT_ALL); });
            time("Select None (all ticked)", [&] { click(IDC_SELECT_NONE); });
            click(IDC_SELECT_ALL);
            time("Patch", [&] { click(IDOK); });
            expectReport("Patching completed successfully.", "Patch");
        } catch (const std::exception& e) {
            m_failure = e.what();
        }
        m_closing = now();
        click(IDCANCEL);
    }

    const WindowBenchFiles& m_files;
    Times& m_times;
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
        times["(d) read + write each word, bare list"].push_back(flipBare(bare.list()));
        times["LB_RESETCONTENT of the full bare list"].push_back(
            timed([&] { SendMessageA(bare.list(), LB_RESETCONTENT, 0, 0); }));
    }
    times["(b) engine: reading, labelling, sorting"].push_back(engineFloor(files.patch, files.listOrder.size()));
    {
        CheckList ticked(files.patch);
        patchFloors(ticked, files.source, files.folder, times);
    }
    Script(files, times).run();
}

}  // namespace

void windowFigures(const WindowBenchFiles& files, int runs)
{
    support::writeFile(support::joinPath(files.folder, "bad.ips"), {'N', 'O', 'T', 'A', 'P', 'A', 'T', 'C', 'H'});
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
    const double first = median("first load"), flip = median("(d) read + write each word, bare list");
    const double patchFloor = median("walk") + median("read") + median("write");
    std::printf("\nThe main window, shown, driven through its own handlers: %zu hunks over a 16 MiB source;\n"
                "each figure the median of %d runs, until the window has painted; ratios of medians of this run\n",
                files.listOrder.size(), runs);
    auto row = [](const std::string& name, double seconds, const char* against = nullptr, double floor = 0) {
        std::printf("  %-44s %8.1f ms", name.c_str(), seconds * 1e3);
        if (against)
            std::printf("   x%.2f of %s", seconds / floor, against);
        std::printf("\n");
    };
    std::printf(" commands\n");
    row("first load", first, "(a)+(b)", add + engine);
    for (const char* name : {"second load of the same patch", "load of another large patch"}) {
        row(name, median(name), "(a)+(b)", add + engine);
        row("", median(name), "the first load", first);
    }
    row("failed load over a full list", median("failed load over a full list"), "the first load", first);
    for (const char* name : {"Invert (all ticked)", "Select All (none ticked)", "Select None (all ticked)"})
        row(name, median(name), "(d)", flip);
    row("Patch", median("Patch"), "(c)", patchFloor);
    row("closing the window", median("closing the window"), "the first load", first);
    std::printf(" tooltips (goals: a hunk under 5 ms, the Source row the first time under 0.3 s)\n");
    for (const char* name : {"hunk text, middle of the list", "Source tip, first time", "Source tip again (kept)"})
        row(name, median(name));
    std::printf(" floors\n");
    row("(a) add + data, bare list", add);
    row("(b) engine: reading, labelling, sorting", engine);
    row("(a)+(b)", add + engine);
    row("(c) walk + read + write", patchFloor);
    row("    walk: count, check, data per item", median("walk"));
    row("    read: the source, whole", median("read"));
    row("    write: flushed, replacing the old output", median("write"));
    row("(d) read + write each word, bare list", flip);
    row("LB_RESETCONTENT of the full bare list", median("LB_RESETCONTENT of the full bare list"));
}
