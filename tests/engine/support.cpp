#include "support.h"

#ifdef _WIN32
#include "framework/win32/checklistbox_win32.h"
#include "tests/support/listhost.h"

struct TestList::Window {
    support::ListBoxHost host;
};

TestList::TestList() : m_window(new Window) { m_list.impl().hwnd = m_window->host.list(); }
#else
struct TestList::Window {};

TestList::TestList() = default;
#endif

TestList::~TestList() = default;

namespace {

// What read(i) gives for every item, top to bottom.
template <class Read>
auto column(const CCheckListBox& list, Read read)
{
    std::vector<decltype(read(0))> out;
    for (int i = 0; i < list.GetCount(); ++i)
        out.push_back(read(i));
    return out;
}

}  // namespace

std::vector<std::string> TestList::labels()
{
    return column(m_list, [&](int i) { return m_list.GetText(i); });
}

std::vector<std::uint32_t> TestList::itemData()
{
    return column(m_list, [&](int i) { return m_list.GetItemData(i); });
}

std::vector<int> TestList::checks()
{
    return column(m_list, [&](int i) { return m_list.GetCheck(i); });
}

std::vector<support::ListItem> TestList::items()
{
    return column(m_list, [&](int i) {
        return support::ListItem{m_list.GetText(i), m_list.GetItemData(i), m_list.GetCheck(i)};
    });
}

std::vector<RecordedReport> takeReports()
{
    std::vector<RecordedReport> out;
    out.swap(recordedReports());
    return out;
}

void PrintTo(const RecordedReport& r, std::ostream* os)
{
    static const char* const icons[] = {"none", "question", "stop"};
    *os << '"' << r.text << "\" (" << icons[static_cast<int>(r.icon)] << ')';
}

std::vector<RecordedReport> one(const char* text, ReportIcon icon) { return {{text, icon}}; }
