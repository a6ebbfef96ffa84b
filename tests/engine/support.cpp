#include "support.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifdef _WIN32
#include "framework/win32/checklistbox_win32.h"
#endif

namespace fs = std::filesystem;

ScratchDir::ScratchDir()
{
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = fs::temp_directory_path() /
                             ("velquin-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        if (fs::create_directory(candidate)) {
            m_dir = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot make a scratch folder");
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    fs::remove_all(m_dir, ignored);
}

std::string ScratchDir::path(const std::string& name) const { return (m_dir / name).string(); }

std::vector<std::string> ScratchDir::entries() const
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

bool fileExists(const std::string& path) { return fs::exists(path); }

Ips& Ips::be(std::uint32_t value, int n)
{
    for (int i = n - 1; i >= 0; --i)
        m_bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    return *this;
}

Ips& Ips::literal(std::uint32_t offset, const Bytes& data)
{
    be(offset, 3).be(static_cast<std::uint32_t>(data.size()), 2);
    m_bytes.insert(m_bytes.end(), data.begin(), data.end());
    return *this;
}

Ips& Ips::run(std::uint32_t offset, std::uint16_t length, unsigned char value)
{
    be(offset, 3).be(0, 2).be(length, 2);
    m_bytes.push_back(value);
    return *this;
}

Ips& Ips::size3(std::uint32_t size) { return be(size, 3); }

Ips& Ips::raw(const std::string& text)
{
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    return *this;
}

Ips& Ips::raw(const Bytes& bytes)
{
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

#ifdef _WIN32
namespace {

LRESULT CALLBACK parentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_MEASUREITEM) {
        reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = 14;
        return TRUE;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

TestList::TestList()
{
    static ATOM atom = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = parentProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VelquinTestParent";
        return RegisterClassA(&wc);
    }();
    (void)atom;
    HWND parent = CreateWindowA("VelquinTestParent", "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 300, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    HWND list = CreateWindowA("LISTBOX", "",
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_BORDER | WS_TABSTOP | LBS_SORT |
                                  LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOSEL | LBS_NOTIFY |
                                  LBS_NOINTEGRALHEIGHT,
                              0, 0, 200, 200, parent, reinterpret_cast<HMENU>(1013), GetModuleHandleA(nullptr),
                              nullptr);
    if (!parent || !list)
        throw std::runtime_error("cannot create the list box");
    m_parent = parent;
    m_list.impl().hwnd = list;
}

TestList::~TestList() { DestroyWindow(static_cast<HWND>(m_parent)); }
#else
TestList::TestList() = default;
TestList::~TestList() = default;
#endif

std::vector<std::string> TestList::labels()
{
    std::vector<std::string> out;
    for (int i = 0; i < m_list.GetCount(); ++i)
        out.push_back(m_list.GetText(i));
    return out;
}

std::vector<std::uint32_t> TestList::itemData()
{
    std::vector<std::uint32_t> out;
    for (int i = 0; i < m_list.GetCount(); ++i)
        out.push_back(m_list.GetItemData(i));
    return out;
}

std::vector<int> TestList::checks()
{
    std::vector<int> out;
    for (int i = 0; i < m_list.GetCount(); ++i)
        out.push_back(m_list.GetCheck(i));
    return out;
}

std::vector<RecordedReport> takeReports()
{
    std::vector<RecordedReport> out;
    out.swap(recordedReports());
    return out;
}

Bytes pattern(std::size_t n, unsigned seed)
{
    Bytes out(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<unsigned char>(x);
    }
    return out;
}

void PrintTo(const RecordedReport& r, std::ostream* os)
{
    static const char* const icons[] = {"none", "question", "stop"};
    *os << '"' << r.text << "\" (" << icons[static_cast<int>(r.icon)] << ')';
}

std::vector<RecordedReport> one(const char* text, ReportIcon icon) { return {{text, icon}}; }
