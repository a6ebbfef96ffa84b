#pragma once
// Shared helpers for the engine suites: scratch folders, patch building, the list
// under test, and the reports the engine made.

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "framework/checklistbox.h"
#include "framework/portable/report_record.h"

using Bytes = std::vector<unsigned char>;

// A fresh folder, removed with everything in it when the object dies.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    std::string path(const std::string& name) const;
    std::vector<std::string> entries() const;  // names of the files in it, sorted

private:
    std::filesystem::path m_dir;
};

Bytes readFile(const std::string& path);
void writeFile(const std::string& path, const Bytes& bytes);
bool fileExists(const std::string& path);

// Builds IPS files record by record.
class Ips {
public:
    Ips() { raw("PATCH"); }
    Ips& literal(std::uint32_t offset, const Bytes& data);
    Ips& run(std::uint32_t offset, std::uint16_t length, unsigned char value);
    Ips& eof() { return raw("EOF"); }
    Ips& size3(std::uint32_t size);
    Ips& raw(const std::string& text);
    Ips& raw(const Bytes& bytes);
    const Bytes& bytes() const { return m_bytes; }

private:
    Ips& be(std::uint32_t value, int n);
    Bytes m_bytes;
};

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

private:
    CCheckListBox m_list;
    void* m_parent = nullptr;
};

// Takes the reports made since the last call.
std::vector<RecordedReport> takeReports();

Bytes pattern(std::size_t n, unsigned seed);

inline bool operator==(const RecordedReport& a, const RecordedReport& b) { return a.text == b.text && a.icon == b.icon; }
void PrintTo(const RecordedReport& r, std::ostream* os);
// The single report a command must end in.
std::vector<RecordedReport> one(const char* text, ReportIcon icon);
