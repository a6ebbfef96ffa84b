// LoadPatch and ApplyPatch over generated patches, each beside the plain I/O its
// files need (read source and patch, write the output; and the same with the output
// synced to the disk and moved into place, as ApplyPatch does), so that the figures can
// be read as ratios measured in one run. The peak memory of one load and apply is taken
// from a separate small process, so nothing of the benchmark itself is counted. And what
// telling a ROM's format and checksums adds to the source's read, beside a plain byte sum.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "bench/ipsgen.h"
#include "framework/checklistbox.h"
#include "framework/portable/report_record.h"
#include "patch/hunkset.h"
#include "patch/romformat.h"
#include "tests/support/files.h"
#include "tests/support/rom.h"

namespace {

namespace fs = std::filesystem;
using benchgen::Order;

constexpr std::uint32_t kSourceSize = 16 * 1024 * 1024;
constexpr double kFloorTarget = 2.0;       // times the I/O floor, for the 100,000-record cases
constexpr double kMemoryTargetMB = 48.0;   // peak resident size of load and apply, 100,000 records

struct Case {
    std::string name;
    std::size_t records;
    std::string patch;
    bool apply;  // also time ApplyPatch and the I/O floor
    std::function<std::vector<benchgen::Record>()> make;
    Order order;
};

struct Workspace {
    std::unique_ptr<support::ScratchDir> dir;
    std::string source;
    std::vector<Case> cases;

    std::string path(const std::string& name) const { return dir->path(name); }
};

Workspace g_work;

void describeWorkspace()
{
    g_work.dir.reset(new support::ScratchDir("velquin-bench"));
    g_work.source = g_work.path("source.bin");

    auto add = [](std::string name, std::size_t records, Order order, bool apply,
                  std::function<std::vector<benchgen::Record>()> make) {
        std::string patch = g_work.path(name + ".ips");
        g_work.cases.push_back({name, records, patch, apply, std::move(make), order});
    };
    auto random = [](std::size_t count, std::uint32_t minLength, std::uint32_t maxLength, std::uint64_t seed) {
        return [=] { return benchgen::randomRecords(count, minLength, maxLength, kSourceSize, seed); };
    };
    add("100k-ascending", 100000, Order::ascending, true, random(100000, 1, 160, 100));
    add("100k-descending", 100000, Order::descending, true, random(100000, 1, 160, 100));
    add("100k-random", 100000, Order::random, true, random(100000, 1, 160, 100));
    add("50k-random", 50000, Order::random, true, random(50000, 1, 160, 50));
    add("200k-random", 200000, Order::random, true, random(200000, 1, 160, 200));
    add("2M-tiny-random", 2000000, Order::random, true, random(2000000, 1, 4, 2000));
    add("1k-65535-random", 1000, Order::random, true, random(1000, 65535, 65535, 1));
    // Every record with the same label: each insertion lands among the equal ones.
    for (std::size_t n : {10000, 20000, 40000})
        add(std::to_string(n / 1000) + "k-same-label", n, Order::ascending, false,
            [n] { return benchgen::sameRecords(n, 0x1000, 16); });
}

void writeInputs()
{
    support::writeFile(g_work.source, support::randomBytes(kSourceSize, 1));
    for (const Case& c : g_work.cases) {
        std::vector<benchgen::Record> records = c.make();
        benchgen::arrange(records, c.order, 7);
        support::writeFile(c.patch, benchgen::encodeIps(records, 11));
    }
}

// The inputs are made in a child process, so that this one stays small enough to
// start the memory probe from (see probePeak).
bool generateInputs()
{
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        try {
            writeInputs();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            _exit(1);
        }
        _exit(0);
    }
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool onlyReport(const char* text)
{
    const auto& reports = recordedReports();
    return reports.size() == 1 && reports[0].text == text;
}

// A first load, into an empty set and list; dropping the previous patch is timed apart.
void benchLoad(benchmark::State& state, const Case& c)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto set = std::make_unique<CHunkSet>();
        auto list = std::make_unique<CCheckListBox>();
        recordedReports().clear();
        state.ResumeTiming();
        if (!set->LoadPatch(c.patch, *list) || static_cast<std::size_t>(list->GetCount()) != c.records) {
            state.SkipWithError("the patch did not load");
            break;
        }
        state.PauseTiming();
        list.reset();
        set.reset();
        state.ResumeTiming();
    }
}

// Loads c's patch ahead of a benchmark that needs it; when it does not load, the
// benchmark is skipped with that error.
bool loadFirst(benchmark::State& state, const Case& c, CHunkSet& set, CCheckListBox& list)
{
    if (set.LoadPatch(c.patch, list))
        return true;
    state.SkipWithError("the patch did not load");
    return false;
}

// The in-memory list alone, filled as LoadPatch fills it: labels in list order, each
// with its item data and a tick.
void benchList(benchmark::State& state, const Case& c)
{
    std::vector<std::string> labels;
    {
        CHunkSet set;
        CCheckListBox list;
        if (!loadFirst(state, c, set, list))
            return;
        for (int i = 0; i < list.GetCount(); ++i)
            labels.push_back(list.GetText(i));
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto list = std::make_unique<CCheckListBox>();
        state.ResumeTiming();
        for (std::size_t i = 0; i < labels.size(); ++i) {
            const int at = list->AddString(labels[i].c_str());
            list->SetItemData(at, static_cast<std::uint32_t>(i));
            list->SetCheck(at, 1);
        }
        state.PauseTiming();
        list.reset();
        state.ResumeTiming();
    }
}

// Loading over a loaded patch: the first one is dropped, then the same one read again.
void benchReload(benchmark::State& state, const Case& c)
{
    CHunkSet set;
    CCheckListBox list;
    if (!loadFirst(state, c, set, list))
        return;
    for (auto _ : state) {
        recordedReports().clear();
        if (!set.LoadPatch(c.patch, list) || static_cast<std::size_t>(list.GetCount()) != c.records) {
            state.SkipWithError("the patch did not load");
            break;
        }
    }
}

void benchApply(benchmark::State& state, const Case& c)
{
    CHunkSet set;
    CCheckListBox list;
    if (!loadFirst(state, c, set, list))
        return;
    const std::string destination = g_work.path("out-" + c.name + ".bin");
    for (auto _ : state) {
        recordedReports().clear();
        set.ApplyPatch(g_work.source, destination, list);
        if (!onlyReport("Patching completed successfully.")) {
            state.SkipWithError("the patch was not applied");
            break;
        }
    }
    std::error_code ignored;
    fs::remove(destination, ignored);
}

void readWhole(const std::string& path, std::vector<unsigned char>& into)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("cannot open " + path);
    std::size_t done = 0;
    for (;;) {
        if (done == into.size())
            into.resize(into.empty() ? 65536 : into.size() * 2);
        ssize_t got = ::read(fd, into.data() + done, into.size() - done);
        if (got < 0) {
            ::close(fd);
            throw std::runtime_error("cannot read " + path);
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    into.resize(done);
}

void writeWhole(const std::string& path, const unsigned char* data, std::size_t size, bool synced = false)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path);
    for (std::size_t done = 0; done < size;) {
        ssize_t put = ::write(fd, data + done, size - done);
        if (put <= 0) {
            ::close(fd);
            throw std::runtime_error("cannot write " + path);
        }
        done += static_cast<std::size_t>(put);
    }
    if (synced && ::fsync(fd) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot sync " + path);
    }
    ::close(fd);
}

// Reading both files and writing the output, into buffers kept across iterations:
// the least any implementation has to do.
void benchFloor(benchmark::State& state, const Case& c)
{
    const std::string destination = g_work.path("floor-" + c.name + ".bin");
    std::vector<unsigned char> source, patch;
    source.reserve(kSourceSize + 1);
    for (auto _ : state) {
        readWhole(g_work.source, source);
        readWhole(c.patch, patch);
        writeWhole(destination, source.data(), source.size());
    }
    std::error_code ignored;
    fs::remove(destination, ignored);
}

// The floor of a write that survives a power cut: the output synced to the disk under a
// name of its own, moved into place, and the move synced with its folder.
void benchSyncedFloor(benchmark::State& state, const Case& c)
{
    const std::string destination = g_work.path("synced-" + c.name + ".bin");
    const std::string temp = destination + ".tmp";
    std::vector<unsigned char> source, patch;
    source.reserve(kSourceSize + 1);
    for (auto _ : state) {
        readWhole(g_work.source, source);
        readWhole(c.patch, patch);
        writeWhole(temp, source.data(), source.size(), true);
        const int folder = ::open(g_work.dir->folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const bool moved = ::rename(temp.c_str(), destination.c_str()) == 0 && folder >= 0 && ::fsync(folder) == 0;
        if (folder >= 0)
            ::close(folder);
        if (!moved) {
            state.SkipWithError("cannot move the synced output into place");
            break;
        }
    }
    std::error_code ignored;
    fs::remove(destination, ignored);
}

// What a ROM scan adds to the source's read: a 16 MiB SNES ROM with a valid header, in the
// reader's 1 MiB blocks, beside the plainest pass over the same bytes.
const support::Bytes& romBytes()
{
    static const support::Bytes rom = support::snesRom(support::Snes::lo, kSourceSize, "BENCH");
    return rom;
}

void benchRomScan(benchmark::State& state)
{
    const support::Bytes& rom = romBytes();
    constexpr std::size_t kBlock = 1 << 20;
    for (auto _ : state) {
        RomScan scan(rom.size());
        for (std::size_t at = 0; at < rom.size(); at += kBlock)
            scan.Add(rom.data() + at, std::min(kBlock, rom.size() - at));
        const RomFacts facts = scan.Finish();
        if (facts.format != RomFormat::snes || !facts.checksums[0].matches) {
            state.SkipWithError("the ROM was not recognised");
            break;
        }
    }
}

void benchByteSum(benchmark::State& state)
{
    const support::Bytes& rom = romBytes();
    for (auto _ : state) {
        std::uint64_t sum = 0;
        for (std::uint8_t b : rom)
            sum += b;
        benchmark::DoNotOptimize(sum);
    }
}

// Keeps every run's wall time, in seconds, by benchmark name.
class Collector : public benchmark::ConsoleReporter {
public:
    // A reporter of one's own does not follow --benchmark_color: colour only on a terminal.
    Collector() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    std::map<std::string, double> seconds;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (!run.error_occurred)
                seconds[run.run_name.function_name] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        ConsoleReporter::ReportRuns(runs);
    }
    double get(const std::string& name) const
    {
        auto it = seconds.find(name);
        return it == seconds.end() ? -1 : it->second;
    }
};

std::string runName(const std::string& kind, const Case& c) { return kind + "/" + c.name; }

// Peak resident size, in KiB, of the probe process doing one load and apply; -1 on failure.
// The kernel carries a process's peak across exec, and a child started by vfork or
// posix_spawn shares, and so inherits, the parent's peak: so fork, while this process
// is still small, then exec. The empty probe shows what is left of the parent.
long probePeak(const std::string& probe, const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(probe.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        execv(probe.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

void printSummary(const Collector& results)
{
    std::printf("\nLoad + apply against the I/O floor (read source and patch, write output; synced: and sync it)\n");
    std::printf("%-18s %8s %9s %9s %9s %9s %9s %8s %9s %9s %12s %9s\n", "case", "records", "load ms", "apply ms",
                "total ms", "floor ms", "synced ms", "x floor", "apply/syn", "reload ms", "load ns/rec", "list ms");
    for (const Case& c : g_work.cases) {
        if (!c.apply)
            continue;
        const double load = results.get(runName("load", c));
        const double apply = results.get(runName("apply", c));
        const double floor = results.get(runName("floor", c));
        const double synced = results.get(runName("synced", c));
        const double reload = results.get(runName("reload", c));
        const double list = results.get(runName("list", c));
        if (load < 0 || apply < 0 || floor < 0 || synced < 0 || reload < 0 || list < 0) {
            std::printf("%-18s not run\n", c.name.c_str());
            continue;
        }
        const double n = static_cast<double>(c.records);
        std::printf("%-18s %8zu %9.2f %9.2f %9.2f %9.2f %9.2f %8.2f %9.2f %9.2f %12.1f %9.2f\n", c.name.c_str(),
                    c.records, load * 1e3, apply * 1e3, (load + apply) * 1e3, floor * 1e3, synced * 1e3,
                    (load + apply) / synced, apply / synced, reload * 1e3, load / n * 1e9, list * 1e3);
    }
    std::printf("target: 100,000-record cases within %.1fx of their synced floor (load into an empty list + apply);\n"
                "synced = the floor with the output synced to the disk, moved into place and the move synced,\n"
                "as ApplyPatch writes; apply/syn = ApplyPatch over that floor, which the sync does not change;\n"
                "reload = loading over the same patch already loaded, dropping it first;\n"
                "list = the in-memory list alone, filled as a load fills it (part of load)\n",
                kFloorTarget);

    auto perRecord = [&](const char* name) {
        for (const Case& c : g_work.cases)
            if (c.name == name) {
                double t = results.get(runName("load", c));
                return t < 0 ? -1.0 : t / static_cast<double>(c.records);
            }
        return -1.0;
    };
    std::printf("\nLinearity (load cost per record; 1.00 is linear)\n");
    const double base = perRecord("50k-random");
    for (const char* name : {"50k-random", "100k-random", "200k-random", "100k-ascending", "100k-descending"}) {
        const double p = perRecord(name);
        std::printf("%-18s %8.1f ns/record   x%.2f of 50k-random\n", name, p * 1e9, p / base);
    }
    const double sameBase = perRecord("10k-same-label");
    for (const char* name : {"10k-same-label", "20k-same-label", "40k-same-label"}) {
        const double p = perRecord(name);
        std::printf("%-18s %8.1f ns/record   x%.2f of 10k-same-label\n", name, p * 1e9, p / sameBase);
    }

    const double scan = results.get("rom/scan"), sum = results.get("rom/bytesum");
    if (scan >= 0 && sum > 0)
        std::printf("\nROM scan of a 16 MiB SNES ROM in 1 MiB blocks: %.2f ms, x%.2f of a plain byte sum (%.2f ms)\n",
                    scan * 1e3, scan / sum, sum * 1e3);
}

struct Peak {
    std::string name;
    long kib;
};

std::vector<Peak> measurePeaks(const std::string& probe)
{
    std::vector<Peak> peaks{{"empty process", probePeak(probe, {})}};
    for (const Case& c : g_work.cases)
        if (c.name == "100k-ascending" || c.name == "100k-random")
            peaks.push_back({c.name, probePeak(probe, {g_work.source, c.patch, g_work.path("probe-out.bin")})});
    return peaks;
}

void printPeaks(const std::vector<Peak>& peaks)
{
    std::printf("\nPeak memory of one LoadPatch + ApplyPatch in a process of its own (ru_maxrss)\n");
    for (const Peak& p : peaks) {
        if (p.kib < 0) {
            std::printf("%-18s probe failed\n", p.name.c_str());
            continue;
        }
        const double mb = p.kib * 1024.0 / 1e6;
        std::printf("%-18s %8.1f MiB = %5.1f MB   x%.2f of the %.0f MB budget\n", p.name.c_str(), p.kib / 1024.0, mb,
                    mb / kMemoryTargetMB, kMemoryTargetMB);
    }
}

std::string probePath(const char* argv0)
{
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error)
        self = fs::absolute(argv0);
    return (self.parent_path() / "velquin_memory_probe").string();
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string probe = probePath(argv[0]);
    benchmark::Initialize(&argc, argv);
    try {
        auto started = std::chrono::steady_clock::now();
        describeWorkspace();
        if (!generateInputs())
            throw std::runtime_error("cannot generate the inputs");
        std::printf("inputs generated in %.1f s\n",
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    // Cases that apply are timed every way; the others only load, once.
    const std::pair<const char*, void (*)(benchmark::State&, const Case&)> kinds[] = {
        {"load", benchLoad}, {"reload", benchReload}, {"list", benchList}, {"apply", benchApply}, {"floor", benchFloor},
        {"synced", benchSyncedFloor}};
    for (const Case& c : g_work.cases) {
        for (const auto& [kind, run] : kinds) {
            auto* registered = benchmark::RegisterBenchmark(runName(kind, c).c_str(), run, c);
            registered->Unit(benchmark::kMillisecond)->UseRealTime();
            if (!c.apply) {
                registered->Iterations(1);
                break;
            }
        }
    }
    benchmark::RegisterBenchmark("rom/scan", benchRomScan)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("rom/bytesum", benchByteSum)->Unit(benchmark::kMillisecond)->UseRealTime();
    Collector collector;
    try {
        const std::vector<Peak> peaks = measurePeaks(probe);
        benchmark::RunSpecifiedBenchmarks(&collector);
        printSummary(collector);
        printPeaks(peaks);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
