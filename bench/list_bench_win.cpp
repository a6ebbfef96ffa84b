// LoadPatch and ApplyPatch against the real owner-drawn list box, in a window shaped
// like the program's, timed with the performance counter; or, with --window, the
// program's main window through its commands (window_bench_win.cpp). Besides the totals it times
// the list box messages a load sends, one kind at a time, so that the cost of the
// control can be told from the cost of the engine.
//   velquin_list_bench [records [records-shown]]
//   velquin_list_bench --large   (only the loads of 200k to 2M records)
//   velquin_list_bench --window  (only the main window)
// records (100000) sizes the hidden-window figures that the targets speak of;
// records-shown (2000) sizes the figures with the window on screen, which cost so
// much more per item that they are measured smaller and scaled up.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/ipsgen.h"
#include "bench/timing_win.h"
#include "bench/window_bench_win.h"
#include "framework/portable/report_record.h"
#include "framework/win32/checklistbox_win32.h"
#include "framework/win32/checklistbox_window.h"
#include "patch/hunkset.h"
#include "tests/support/files.h"
#include "tests/support/listhost.h"
#include "tests/support/model.h"
#include "tests/support/rom.h"

namespace {

using benchgen::Order;

constexpr std::uint32_t kSourceSize = 16 * 1024 * 1024;
constexpr double kLoadTarget = 1.5;   // seconds until a 100,000-record patch's count shows
constexpr double kApplyTarget = 0.5;  // seconds until Patch on 16 MiB reports
constexpr std::size_t kTargetRecords = 100000;
constexpr int kRepeats = 3;
constexpr int kWindowRuns = 5;

constexpr std::size_t kSameRecords[2] = {10000, 40000};
std::size_t g_records = kTargetRecords;
std::size_t g_shownRecords = 2000;

using benchtime::now;

// Median of kRepeats runs of body; prepare runs untimed before each.
double median(const std::function<void()>& prepare, const std::function<void()>& body)
{
    std::vector<double> times;
    for (int i = 0; i < kRepeats; ++i) {
        if (prepare)
            prepare();
        const double start = now();
        body();
        times.push_back(now() - start);
    }
    return benchtime::median(times);
}

void require(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(what);
}

WNDPROC g_listBoxProc = nullptr;  // the list box class's own procedure

// Answers LB_INITSTORAGE as if it had reserved, to time fills without it.
LRESULT CALLBACK withoutInitStorage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == LB_INITSTORAGE)
        return static_cast<LRESULT>(wp);
    return CallWindowProcA(g_listBoxProc, hwnd, msg, wp, lp);
}

// The list box as the program's dialog has it, in a window of its own.
class ListWindow {
public:
    explicit ListWindow(bool shown) : m_host(shown)
    {
        if (shown)
            pump();
        list.impl().hwnd = m_host.list();
    }
    HWND hwnd() const { return m_host.list(); }
    void setRedraw(bool on) { SendMessageA(hwnd(), WM_SETREDRAW, on ? TRUE : FALSE, 0); }
    // After filling with redraw held off: let the control show its new contents.
    void redrawAll()
    {
        setRedraw(true);
        InvalidateRect(hwnd(), nullptr, TRUE);
    }
    static void pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    CCheckListBox list;

private:
    support::ListBoxHost m_host;
};

struct Patch {
    std::string path;
    std::vector<benchgen::Record> records;  // in file order
};

struct Inputs {
    support::ScratchDir dir{"velquin-bench"};
    std::string source;
    Patch ascending, descending, random, shown;
    Patch other;  // as large as random, other records
    Patch same[2];  // every record with one label, at two sizes
};

void makeInputs(Inputs& in)
{
    in.source = in.dir.path("source.bin");
    const std::vector<benchgen::Record> records = benchgen::randomRecords(g_records, 1, 160, kSourceSize, 100);
    auto write = [&](Patch& patch, const char* name, std::vector<benchgen::Record> arranged, Order order) {
        benchgen::arrange(arranged, order, 7);
        patch.path = in.dir.path(name);
        support::writeFile(patch.path, benchgen::encodeIps(arranged, 11));
        patch.records = std::move(arranged);
    };
    write(in.ascending, "ascending.ips", records, Order::ascending);
    write(in.descending, "descending.ips", records, Order::descending);
    write(in.random, "random.ips", records, Order::random);
    // Every fourth record of the random patch is in the source already: rows that change
    // nothing, as a partly patched file has them.
    support::Bytes source = support::randomBytes(kSourceSize, 1);
    const support::Bytes random = support::readFile(in.random.path);
    const std::optional<support::PatchFile> held = support::readPatch(random.data(), random.size());
    require(held.has_value(), "the random patch does not read back");
    for (std::size_t i = 0; i < held->records.size(); i += 4)
        std::copy(held->records[i].bytes.begin(), held->records[i].bytes.end(), source.begin() + held->records[i].offset);
    // A SNES header with its checksum right, so that the reader's scan and the Patch
    // button's tip do all a ROM asks of them.
    const std::size_t base = support::snesBase(support::Snes::lo, false);
    const std::string title = "VELQUIN BENCH        ";
    std::copy(title.begin(), title.end(), source.begin() + base);
    source[base + 0x15] = 0x20;
    support::fixSnes(source, false, base);
    support::writeFile(in.source, source);
    write(in.other, "other.ips", benchgen::randomRecords(g_records, 1, 160, kSourceSize, 101), Order::random);
    write(in.shown, "shown.ips", benchgen::randomRecords(g_shownRecords, 1, 160, kSourceSize, 300), Order::random);
    write(in.same[0], "same-small.ips", benchgen::sameRecords(kSameRecords[0], 0x1000, 16), Order::ascending);
    write(in.same[1], "same-large.ips", benchgen::sameRecords(kSameRecords[1], 0x1000, 16), Order::ascending);
}

void loadChecked(CHunkSet& set, CCheckListBox& list, const Patch& patch)
{
    recordedReports().clear();
    require(set.LoadPatch(patch.path, list) && list.GetCount() == static_cast<int>(patch.records.size()),
            "a patch did not load");
}

std::vector<std::string> labelsOf(const Patch& patch, bool sorted)
{
    std::vector<std::string> labels;
    labels.reserve(patch.records.size());
    for (const benchgen::Record& r : patch.records)
        labels.push_back(CHunkSet::Label(r.offset, r.length));
    // The control's order and std::sort's agree on these labels: upper-case hex, one shape.
    if (sorted)
        std::sort(labels.begin(), labels.end());
    return labels;
}

void heading(const char* text) { std::printf("\n%s\n", text); }

// One figure; against a target when one is given, else per item.
void row(const std::string& name, double seconds, std::size_t items, double target = 0)
{
    std::printf("  %-66s %9.1f ms %8.1f us/item", name.c_str(), seconds * 1e3, seconds / items * 1e6);
    if (target > 0)
        std::printf("   x%.2f of %.1f s", seconds / target, target);
    std::printf("\n");
}

// The same, scaled to kTargetRecords items.
void scaledRow(const std::string& name, double seconds, std::size_t items, double target)
{
    const double scaled = seconds / items * kTargetRecords;
    std::printf("  %-66s %9.1f ms %8.1f us/item   %zuk: %7.1f s  x%.2f of %.1f s\n", name.c_str(), seconds * 1e3,
                seconds / items * 1e6, kTargetRecords / 1000, scaled, scaled / target, target);
}

// The median of body on a window made afresh before each run, and filled by prepare;
// with redraw held off around body when asked, and with the window shown, until the
// list has painted.
double timeInWindow(std::unique_ptr<ListWindow>& window, bool shown, bool redrawOff,
                    const std::function<void()>& prepare, const std::function<void()>& body)
{
    return median(
        [&] {
            window.reset();
            window.reset(new ListWindow(shown));
            prepare();
        },
        [&] {
            if (redrawOff)
                window->setRedraw(false);
            body();
            if (redrawOff)
                window->redrawAll();
            if (shown)
                UpdateWindow(window->hwnd());
        });
}

// LoadPatch into a fresh, empty list box, as the first Browse does.
double timeLoad(const Patch& patch, bool shown, bool redrawOff)
{
    CHunkSet set;
    std::unique_ptr<ListWindow> window;
    return timeInWindow(window, shown, redrawOff, [] {}, [&] { loadChecked(set, window->list, patch); });
}

// The messages a load sends, and what a fill could send instead, over one patch's labels.
struct Fill {
    std::vector<std::string> fileOrder, listOrder;
    std::unique_ptr<ListWindow> window;
    bool shown;

    Fill(const Patch& patch, bool shown) : fileOrder(labelsOf(patch, false)), listOrder(labelsOf(patch, true)), shown(shown) {}

    void add(const std::vector<std::string>& labels)
    {
        for (const std::string& l : labels)
            SendMessageA(window->hwnd(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(l.c_str()));
    }
    // Times body on a fresh window, empty or holding the labels in list order, put there
    // through the check list so that it knows them.
    double time(bool prefill, bool redrawOff, const std::function<void()>& body)
    {
        return timeInWindow(window, shown, redrawOff, [&] {
            if (prefill)
                for (const std::string& l : listOrder)
                    window->list.AddString(l.c_str());
        }, body);
    }
    int count() const { return static_cast<int>(listOrder.size()); }

    double addListOrder(bool redrawOff) { return time(false, redrawOff, [&] { add(listOrder); }); }
    double addFileOrder() { return time(false, false, [&] { add(fileOrder); }); }
    // What a fill that knows its order could send: no search for the place.
    double appendListOrder(bool redrawOff)
    {
        return time(false, redrawOff, [&] {
            for (const std::string& l : listOrder)
                SendMessageA(window->hwnd(), LB_INSERTSTRING, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(l.c_str()));
        });
    }
    double addPreallocated()
    {
        return time(false, false, [&] {
            SendMessageA(window->hwnd(), LB_INITSTORAGE, count(), count() * 24);
            add(listOrder);
        });
    }
    double setItemData()
    {
        return time(true, false, [&] {
            for (int i = 0; i < count(); ++i)
                SendMessageA(window->hwnd(), LB_SETITEMDATA, i, i);
        });
    }
    double getItemData()
    {
        return time(true, false, [&] {
            for (int i = 0; i < count(); ++i)
                SendMessageA(window->hwnd(), LB_GETITEMDATA, i, 0);
        });
    }
    double invalidateItems(bool redrawOff)
    {
        return time(true, redrawOff, [&] {
            for (int i = 0; i < count(); ++i) {
                RECT rc;
                if (SendMessageA(window->hwnd(), LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&rc)) != LB_ERR)
                    InvalidateRect(window->hwnd(), &rc, FALSE);
            }
        });
    }
    double setCheck(bool redrawOff)
    {
        return time(true, redrawOff, [&] {
            for (int i = 0; i < count(); ++i)
                window->list.SetCheck(i, 1);
        });
    }
    double resetContent()
    {
        return time(true, false, [&] { window->list.ResetContent(); });
    }
    // Two messages an item: the label, then its data word. A new item is invalidated by
    // the control itself, so nothing else needs repainting.
    double addWithData(bool redrawOff)
    {
        return time(false, redrawOff, [&] {
            for (int i = 0; i < count(); ++i) {
                LRESULT at = SendMessageA(window->hwnd(), LB_ADDSTRING, 0,
                                          reinterpret_cast<LPARAM>(listOrder[i].c_str()));
                SendMessageA(window->hwnd(), LB_SETITEMDATA, at, static_cast<LPARAM>(i));
            }
        });
    }
};

// Returns the load of the random-order patch.
double loadFigures(const Inputs& in)
{
    double random = 0;
    heading("LoadPatch into an empty list box, hidden window, against the 1.5 s target");
    const struct {
        const char* name;
        const Patch* patch;
    } orders[] = {{"ascending", &in.ascending}, {"descending", &in.descending}, {"random", &in.random}};
    for (const auto& o : orders) {
        const double t = timeLoad(*o.patch, false, false);
        if (o.patch == &in.random)
            random = t;
        row(std::string("file order ") + o.name, t, g_records, kLoadTarget);
    }
    for (const auto& o : orders)
        row(std::string("file order ") + o.name + ", redraw held off", timeLoad(*o.patch, false, true), g_records,
            kLoadTarget);
    {
        ListWindow window(false);
        CHunkSet set;
        loadChecked(set, window.list, in.random);
        row("random, over the same patch already loaded",
            median(nullptr, [&] { loadChecked(set, window.list, in.random); }), g_records, kLoadTarget);
    }
    return random;
}

void hiddenBreakdown(const Inputs& in, double load)
{
    heading("Where a load's time goes: the messages it sends, alone, hidden window");
    Fill fill(in.random, false);
    const std::size_t n = g_records;
    const double add = fill.addListOrder(false);
    row("LB_ADDSTRING in list order (as LoadPatch adds)", add, n);
    row("LB_ADDSTRING in list order, redraw held off", fill.addListOrder(true), n);
    row("LB_ADDSTRING in file order (random)", fill.addFileOrder(), n);
    row("LB_INITSTORAGE, then LB_ADDSTRING in list order", fill.addPreallocated(), n);
    row("LB_INSERTSTRING at the end, list order (no search)", fill.appendListOrder(false), n);
    row("LB_INSERTSTRING at the end, list order, redraw held off", fill.appendListOrder(true), n);
    const double setData = fill.setItemData();
    row("LB_SETITEMDATA", setData, n);
    row("LB_GETITEMDATA", fill.getItemData(), n);
    row("LB_GETITEMRECT + InvalidateRect of every row", fill.invalidateItems(false), n);
    const double setCheck = fill.setCheck(false);
    row("SetCheck (the tick kept beside the list, in-view Invalidate)", setCheck, n);
    row("SetCheck, redraw held off", fill.setCheck(true), n);
    row("LB_RESETCONTENT", fill.resetContent(), n);
    row("sum: what one load sends (ADDSTRING + SETITEMDATA + SetCheck)", add + setData + setCheck, n);
    row("LoadPatch (random) less that sum: reading, hunks, sorting", std::max(0.0, load - (add + setData + setCheck)),
        n);
    row("LB_ADDSTRING + LB_SETITEMDATA", fill.addWithData(false), n);
    row("  same, redraw held off", fill.addWithData(true), n);
}

void shownFigures(const Inputs& in)
{
    char title[160];
    std::snprintf(title, sizeof title,
                  "The window on screen, as in the program: %zu records, scaled to %zuk (the per-item cost is flat)",
                  g_shownRecords, kTargetRecords / 1000);
    heading(title);
    const std::size_t n = g_shownRecords;
    scaledRow("LoadPatch", timeLoad(in.shown, true, false), n, kLoadTarget);
    scaledRow("LoadPatch, redraw held off", timeLoad(in.shown, true, true), n, kLoadTarget);
    Fill fill(in.shown, true);
    scaledRow("LB_ADDSTRING in list order", fill.addListOrder(false), n, kLoadTarget);
    scaledRow("LB_ADDSTRING in list order, redraw held off", fill.addListOrder(true), n, kLoadTarget);
    scaledRow("SetCheck", fill.setCheck(false), n, kLoadTarget);
    scaledRow("SetCheck, redraw held off", fill.setCheck(true), n, kLoadTarget);
    scaledRow("LB_GETITEMRECT + InvalidateRect, redraw held off", fill.invalidateItems(true), n, kLoadTarget);
    scaledRow("LB_ADDSTRING + LB_SETITEMDATA", fill.addWithData(false), n, kLoadTarget);
    scaledRow("  same, redraw held off", fill.addWithData(true), n, kLoadTarget);
}

void sameLabelFigures(const Inputs& in)
{
    heading("Every record with the same label, hidden window, redraw held off (as the program loads)");
    for (const Patch& patch : in.same) {
        const std::size_t n = patch.records.size();
        row(std::to_string(n / 1000) + "k records: LoadPatch", timeLoad(patch, false, true), n);
        Fill fill(patch, false);
        row(std::to_string(n / 1000) + "k records: LB_ADDSTRING alone", fill.addListOrder(true), n);
        row(std::to_string(n / 1000) + "k records: LB_INSERTSTRING at the end instead", fill.appendListOrder(true), n);
    }
}

// The hunk list as the program's window has it: the check list control over the list
// box, filled with its redraw held off. The list outlives the window, as the control needs.
struct ProgramList {
    CCheckListBox list;
    support::ListBoxHost host;

    explicit ProgramList(bool reserve)
    {
        require(AttachCheckList(list, host.list()), "cannot make the list a check list");
        if (!reserve)  // over the check list's own procedure, as the program has it
            g_listBoxProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(host.list(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&withoutInitStorage)));
    }
};

// Loads of growing size through the program's list, once each: the per-record cost
// shows whether the fill stays linear, with and without the list reserving its room.
void largeFigures(const Inputs& in)
{
    heading("Large patches through the program's check list, hidden, one run each; per record against 200k");
    static const std::size_t sizes[] = {200000, 400000, 800000, 2000000};
    double base[2] = {0, 0};
    for (std::size_t n : sizes) {
        Patch patch;
        patch.path = in.dir.path("large-" + std::to_string(n / 1000) + "k.ips");
        patch.records = benchgen::randomRecords(n, 1, 4, kSourceSize, 500 + n);
        support::writeFile(patch.path, benchgen::encodeIps(patch.records, 13));
        for (int reserve = 1; reserve >= 0; --reserve) {
            CHunkSet set;
            ProgramList window(reserve != 0);
            const double start = now();
            {
                CheckListRedrawOff quiet(window.list);
                loadChecked(set, window.list, patch);
            }
            const double t = now() - start;
            const double perRecord = t / n;
            if (base[reserve] == 0)
                base[reserve] = perRecord;
            std::printf("  %5zuk records, %-24s %9.1f ms %8.2f us/record   x%.2f\n", n / 1000,
                        reserve ? "with LB_INITSTORAGE" : "without LB_INITSTORAGE", t * 1e3, perRecord * 1e6,
                        perRecord / base[reserve]);
        }
        support::removeFile(patch.path);
    }
}

// Reading the source and writing the output with one ReadFile and one WriteFile each;
// synced, the output is also flushed to the disk and moved into place, as ApplyPatch does.
double applyFloor(const Inputs& in, bool synced)
{
    struct File {
        HANDLE handle;
        ~File()
        {
            if (handle != INVALID_HANDLE_VALUE)
                CloseHandle(handle);
        }
    };
    std::vector<unsigned char> image(kSourceSize);
    const std::string out = in.dir.path("floor.bin");
    const std::string written = synced ? out + ".tmp" : out;
    return median(nullptr, [&] {
        DWORD done = 0;
        {
            File source{CreateFileA(in.source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)};
            require(ReadFile(source.handle, image.data(), kSourceSize, &done, nullptr) && done == kSourceSize,
                    "cannot read the source");
        }
        {
            File output{CreateFileA(written.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)};
            require(WriteFile(output.handle, image.data(), kSourceSize, &done, nullptr) && done == kSourceSize &&
                        (!synced || FlushFileBuffers(output.handle)),
                    "cannot write the floor file");
        }
        require(!synced || MoveFileExA(written.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH),
                "cannot move the floor file into place");
    });
}

void applyFigures(const Inputs& in)
{
    heading("Patch on a 16 MiB source, every hunk ticked, against the 0.5 s target");
    ListWindow window(false);
    CHunkSet set;
    loadChecked(set, window.list, in.random);
    const std::string out = in.dir.path("out.bin");
    const double apply = median(nullptr, [&] {
        recordedReports().clear();
        set.ApplyPatch(in.source, out, window.list);
        require(recordedReports().size() == 1 && recordedReports()[0].text == "Patching completed successfully.",
                "the patch was not applied");
    });
    row("ApplyPatch", apply, g_records, kApplyTarget);
    row("  the list walk alone (count, check, data per item)", median(nullptr, [&] {
            unsigned sum = 0;
            for (int i = 0; i < window.list.GetCount(); ++i)
                if (window.list.GetCheck(i) == 1)
                    sum += window.list.GetItemData(i);
            require(sum != 0, "nothing ticked");
        }),
        g_records, kApplyTarget);
    const double floor = applyFloor(in, false);
    row("  I/O floor: one ReadFile of the source, one WriteFile", floor, g_records, kApplyTarget);
    const double synced = applyFloor(in, true);
    row("  synced floor: the same, flushed to the disk and moved into place", synced, g_records, kApplyTarget);
    std::printf("  ApplyPatch / I/O floor: x%.2f, ApplyPatch / synced floor: x%.2f\n", apply / floor, apply / synced);
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc == 2 && std::strcmp(argv[1], "--large") == 0) {
        try {
            Inputs in;
            largeFigures(in);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "bench failed: %s\n", e.what());
            return 1;
        }
        return 0;
    }
    const bool windowOnly = argc == 2 && std::strcmp(argv[1], "--window") == 0;
    if (argc > 1 && !windowOnly)
        g_records = std::strtoul(argv[1], nullptr, 10);
    if (argc > 2)
        g_shownRecords = std::strtoul(argv[2], nullptr, 10);
    if (g_records == 0 || g_shownRecords == 0) {
        std::fprintf(stderr, "usage: velquin_list_bench [records [records-shown]] | --large | --window\n");
        return 2;
    }
    try {
        Inputs in;
        const double started = now();
        makeInputs(in);
        std::printf("%zu records of 1-160 bytes over a 16 MiB source, generated in %.1f s; "
                    "each figure is the median of %d runs\n",
                    g_records, now() - started, windowOnly ? kWindowRuns : kRepeats);
        if (windowOnly) {
            windowFigures({in.source, in.random.path, in.other.path, labelsOf(in.random, true), in.dir.folder()},
                          kWindowRuns);
            return 0;
        }
        hiddenBreakdown(in, loadFigures(in));
        shownFigures(in);
        sameLabelFigures(in);
        applyFigures(in);
        largeFigures(in);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
