// LoadPatch and ApplyPatch against the real owner-drawn list box, in a hidden window
// shaped like the program's, timed with the performance counter. Besides the totals it
// times the list box messages the engine sends, one kind at a time, so that the cost
// of the control can be told from the cost of the engine.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/ipsgen.h"
#include "framework/portable/report_record.h"
#include "framework/win32/checklistbox_win32.h"
#include "patch/hunkset.h"

namespace {

using benchgen::Order;

constexpr std::uint32_t kSourceSize = 16 * 1024 * 1024;
std::size_t g_records = 100000;  // the figures the targets speak of; fewer to explore
constexpr double kLoadTarget = 1.5;   // seconds until a 100,000-record patch's count shows
constexpr double kApplyTarget = 0.5;  // seconds until Patch on 16 MiB reports
constexpr int kRepeats = 3;

constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | LBS_SORT | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOSEL |
                             LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER;

double now()
{
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency;
}

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
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

LRESULT CALLBACK parentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_MEASUREITEM) {
        reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = 16;
        return TRUE;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// A parent window answering WM_MEASUREITEM and the list box as the program's dialog has it.
class ListWindow {
public:
    explicit ListWindow(bool shown)
    {
        static const ATOM atom = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = parentProc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "VelquinBenchParent";
            return RegisterClassA(&wc);
        }();
        if (!atom)
            throw std::runtime_error("cannot register the window class");
        m_parent = CreateWindowA("VelquinBenchParent", "Velquin bench", WS_OVERLAPPEDWINDOW, 0, 0, 320, 400, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        m_list = CreateWindowA("LISTBOX", "", kListStyle, 10, 10, 260, 300, m_parent, reinterpret_cast<HMENU>(1013),
                               GetModuleHandleA(nullptr), nullptr);
        if (!m_parent || !m_list)
            throw std::runtime_error("cannot create the list box");
        if (shown) {
            ShowWindow(m_parent, SW_SHOWNOACTIVATE);
            UpdateWindow(m_parent);
            pump();
        }
        list.impl().hwnd = m_list;
    }
    ~ListWindow() { DestroyWindow(m_parent); }
    ListWindow(const ListWindow&) = delete;
    ListWindow& operator=(const ListWindow&) = delete;

    HWND hwnd() const { return m_list; }
    void setRedraw(bool on) { SendMessageA(m_list, WM_SETREDRAW, on ? TRUE : FALSE, 0); }
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
    HWND m_parent = nullptr;  // owns m_list
    HWND m_list = nullptr;
};

struct Inputs {
    std::string dir;
    std::string source;
    std::string ascending, descending, random;
    std::vector<benchgen::Record> randomRecords;  // in the random patch's file order
};

std::string makeFolder()
{
    char temp[MAX_PATH];
    if (!GetTempPathA(MAX_PATH, temp))
        throw std::runtime_error("no temporary folder");
    for (int i = 0; i < 100; ++i) {
        std::string dir = std::string(temp) + "velquin-bench-" + std::to_string(GetCurrentProcessId()) + "-" +
                          std::to_string(i);
        if (CreateDirectoryA(dir.c_str(), nullptr))
            return dir;
    }
    throw std::runtime_error("cannot create a scratch folder");
}

Inputs makeInputs()
{
    Inputs in;
    in.dir = makeFolder();
    in.source = in.dir + "\\source.bin";
    benchgen::writeFile(in.source, benchgen::randomBytes(kSourceSize, 1));
    const std::vector<benchgen::Record> records = benchgen::randomRecords(g_records, 1, 160, kSourceSize, 100);
    auto write = [&](const char* name, Order order) {
        std::vector<benchgen::Record> arranged = records;
        benchgen::arrange(arranged, order, 7);
        std::string path = in.dir + "\\" + name;
        benchgen::writeFile(path, benchgen::encodeIps(arranged, 11));
        if (order == Order::random)
            in.randomRecords = arranged;
        return path;
    };
    in.ascending = write("100k-ascending.ips", Order::ascending);
    in.descending = write("100k-descending.ips", Order::descending);
    in.random = write("100k-random.ips", Order::random);
    return in;
}

void removeInputs(const Inputs& in)
{
    for (const std::string* p : {&in.source, &in.ascending, &in.descending, &in.random})
        DeleteFileA(p->c_str());
    DeleteFileA((in.dir + "\\out.bin").c_str());
    DeleteFileA((in.dir + "\\floor.bin").c_str());
    RemoveDirectoryA(in.dir.c_str());
}

void require(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(what);
}

void loadChecked(CHunkSet& set, CCheckListBox& list, const std::string& patch)
{
    recordedReports().clear();
    require(set.LoadPatch(patch, list) && list.GetCount() == static_cast<int>(g_records), "a patch did not load");
}

struct Row {
    std::string name;
    double seconds;
};

void printRows(const char* title, const std::vector<Row>& rows, double target, const char* targetName)
{
    std::printf("\n%s\n", title);
    for (const Row& r : rows) {
        if (target > 0)
            std::printf("  %-44s %9.1f ms   x%.2f of %s\n", r.name.c_str(), r.seconds * 1e3, r.seconds / target,
                        targetName);
        else
            std::printf("  %-44s %9.1f ms   %7.0f ns/item\n", r.name.c_str(), r.seconds * 1e3,
                        r.seconds / g_records * 1e9);
    }
}

// LoadPatch into a fresh, empty list box, as the first Browse does.
double timeLoad(const std::string& patch, bool shown, bool redrawOff)
{
    CHunkSet set;
    std::unique_ptr<ListWindow> window;
    return median([&] { window.reset(); window.reset(new ListWindow(shown)); },
                  [&] {
                      if (redrawOff)
                          window->setRedraw(false);
                      loadChecked(set, window->list, patch);
                      if (redrawOff) {
                          window->setRedraw(true);
                          InvalidateRect(window->hwnd(), nullptr, TRUE);
                      }
                      if (shown)
                          UpdateWindow(window->hwnd());
                  });
}

std::vector<std::string> sortedLabels(const std::vector<benchgen::Record>& records)
{
    std::vector<std::string> labels;
    labels.reserve(records.size());
    for (const benchgen::Record& r : records)
        labels.push_back(CHunkSet::Label(r.offset, r.length));
    return labels;
}

// The messages LoadPatch sends, one kind at a time, over the same 100,000 labels.
std::vector<Row> loadBreakdown(const Inputs& in, double loadRandom)
{
    std::vector<std::string> fileOrder = sortedLabels(in.randomRecords);
    std::vector<std::string> sorted = fileOrder;
    // The control's order and std::sort's agree on these labels: upper-case hex, one shape.
    std::sort(sorted.begin(), sorted.end());

    std::unique_ptr<ListWindow> window;
    auto fresh = [&] { window.reset(); window.reset(new ListWindow(false)); };
    auto add = [&](const std::vector<std::string>& labels) {
        for (const std::string& l : labels)
            SendMessageA(window->hwnd(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(l.c_str()));
    };
    std::vector<Row> rows;
    const double addSorted = median(fresh, [&] { add(sorted); });
    rows.push_back({"LB_ADDSTRING, labels in list order", addSorted});
    rows.push_back({"LB_ADDSTRING, labels in file order (random)", median(fresh, [&] { add(fileOrder); })});
    rows.push_back({"LB_INITSTORAGE, then LB_ADDSTRING in list order", median(fresh, [&] {
                        SendMessageA(window->hwnd(), LB_INITSTORAGE, g_records, g_records * 24);
                        add(sorted);
                    })});

    auto filled = [&] { fresh(); add(sorted); };
    const double setData = median(filled, [&] {
        for (int i = 0; i < static_cast<int>(g_records); ++i)
            SendMessageA(window->hwnd(), LB_SETITEMDATA, i, i);
    });
    rows.push_back({"LB_SETITEMDATA", setData});
    const double getData = median(filled, [&] {
        for (int i = 0; i < static_cast<int>(g_records); ++i)
            SendMessageA(window->hwnd(), LB_GETITEMDATA, i, 0);
    });
    rows.push_back({"LB_GETITEMDATA", getData});
    const double invalidate = median(filled, [&] {
        for (int i = 0; i < static_cast<int>(g_records); ++i) {
            RECT rc;
            if (SendMessageA(window->hwnd(), LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&rc)) != LB_ERR)
                InvalidateRect(window->hwnd(), &rc, FALSE);
        }
    });
    rows.push_back({"LB_GETITEMRECT + InvalidateRect (in SetCheck)", invalidate});
    const double setCheck = median(filled, [&] {
        for (int i = 0; i < static_cast<int>(g_records); ++i)
            window->list.SetCheck(i, 1);
    });
    rows.push_back({"CCheckListBox::SetCheck (all four)", setCheck});
    rows.push_back({"LB_RESETCONTENT of 100,000 items", median(filled, [&] { window->list.ResetContent(); })});

    const double control = addSorted + setData + getData + setCheck;
    rows.push_back({"sum of the messages one load sends", control});
    rows.push_back({"rest of LoadPatch (reading, hunks, sorting)", std::max(0.0, loadRandom - control)});
    return rows;
}

// Reading the source and writing the output with one ReadFile and one WriteFile each.
double applyFloor(const Inputs& in)
{
    std::vector<unsigned char> image(kSourceSize);
    const std::string out = in.dir + "\\floor.bin";
    return median(nullptr, [&] {
        HANDLE h = CreateFileA(in.source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD got = 0;
        require(h != INVALID_HANDLE_VALUE && ReadFile(h, image.data(), kSourceSize, &got, nullptr) &&
                    got == kSourceSize,
                "cannot read the source");
        CloseHandle(h);
        h = CreateFileA(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD put = 0;
        require(h != INVALID_HANDLE_VALUE && WriteFile(h, image.data(), kSourceSize, &put, nullptr) &&
                    put == kSourceSize,
                "cannot write the floor file");
        CloseHandle(h);
    });
}

std::vector<Row> applyRows(const Inputs& in)
{
    ListWindow window(false);
    CHunkSet set;
    loadChecked(set, window.list, in.random);
    const std::string out = in.dir + "\\out.bin";
    std::vector<Row> rows;
    rows.push_back({"ApplyPatch, 16 MiB, 100,000 hunks ticked", median(nullptr, [&] {
                        recordedReports().clear();
                        set.ApplyPatch(in.source, out, window.list);
                        require(recordedReports().size() == 1 &&
                                    recordedReports()[0].text == "Patching completed successfully.",
                                "the patch was not applied");
                    })});
    rows.push_back({"  of which the list walk (count, check, data)", median(nullptr, [&] {
                        unsigned sum = 0;
                        for (int i = 0; i < window.list.GetCount(); ++i)
                            if (window.list.GetCheck(i) == 1)
                                sum += window.list.GetItemData(i);
                        require(sum != 0, "nothing ticked");
                    })});
    rows.push_back({"  I/O floor: read the source, write 16 MiB", applyFloor(in)});
    return rows;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc > 1)
        g_records = std::strtoul(argv[1], nullptr, 10);
    Inputs in;
    try {
        const double started = now();
        in = makeInputs();
        std::printf("inputs generated in %.1f s; each figure is the median of %d runs\n", now() - started, kRepeats);

        std::vector<Row> load;
        const struct {
            const char* name;
            const std::string* patch;
        } orders[] = {{"ascending", &in.ascending}, {"descending", &in.descending}, {"random", &in.random}};
        double loadRandom = 0;
        for (const auto& o : orders) {
            const double t = timeLoad(*o.patch, false, false);
            if (o.patch == &in.random)
                loadRandom = t;
            load.push_back({std::string("LoadPatch 100k, ") + o.name + " file order", t});
        }
        for (const auto& o : orders)
            load.push_back({std::string("  same, redraw held off, ") + o.name, timeLoad(*o.patch, false, true)});
        load.push_back({"  same, window shown, random", timeLoad(in.random, true, false)});
        load.push_back({"  same, window shown, redraw held off, random", timeLoad(in.random, true, true)});
        {
            ListWindow window(false);
            CHunkSet set;
            loadChecked(set, window.list, in.random);
            load.push_back({"  reload over a loaded 100k patch, random",
                            median(nullptr, [&] { loadChecked(set, window.list, in.random); })});
        }
        printRows("Load into the real list box (hidden window), against the 1.5 s target", load, kLoadTarget,
                  "1.5 s");
        printRows("Where a load's time goes (100,000 items, hidden window)", loadBreakdown(in, loadRandom), 0, "");
        printRows("Patch on a 16 MiB source, against the 0.5 s target", applyRows(in), kApplyTarget, "0.5 s");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench failed: %s\n", e.what());
        removeInputs(in);
        return 1;
    }
    removeInputs(in);
    return 0;
}
