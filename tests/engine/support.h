#pragma once
// What the engine suites share beyond tests/support: the list under test and the
// reports the engine made.

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "framework/checklistbox.h"
#include "framework/portable/report_record.h"
#include "tests/support/files.h"
#include "tests/support/ips.h"
#include "tests/support/model.h"

using support::Bytes;
using support::fileExists;
using support::Ips;
using support::readFile;
using support::ScratchDir;
using support::writeFile;

inline Bytes pattern(std::size_t n, unsigned seed) { return support::randomBytes(n, seed); }

// The list the engine fills: the in-memory list natively, a real list box in a hidden
// window on Windows.
class TestList {
public:
    TestList();
    ~TestList();
    CCheckListBox& operator*() { return m_list; }
    CCheckListBox* operator->() { return &m_list; }
    std::vector<std::string> labels();
    std::vector<std::uint32_t> itemData();
    std::vector<int> checks();
    std::vector<support::ListItem> items();

private:
    struct Window;
    std::unique_ptr<Window> m_window;  // dies after m_list lets go of it
    CCheckListBox m_list;
};

// Takes the reports made since the last call.
std::vector<RecordedReport> takeReports();

inline bool operator==(const RecordedReport& a, const RecordedReport& b) { return a.text == b.text && a.icon == b.icon; }
void PrintTo(const RecordedReport& r, std::ostream* os);
// The single report a command must end in.
std::vector<RecordedReport> one(const char* text, ReportIcon icon);
