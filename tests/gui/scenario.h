#pragma once
// What the scenarios share: checks on reports, the list and files.

#include <gtest/gtest.h>

#include "driver.h"

namespace gui {

using support::expectedImage;
using support::expectedList;
using support::PatchFile;

#define EXPECT_REPORT(app, report, expectedText, expectedIcon)                                       \
    do {                                                                                              \
        const ::gui::Report& r_ = (report);                                                           \
        EXPECT_EQ(r_.text, expectedText);                                                             \
        EXPECT_EQ(r_.caption, (app).reportCaption) << "report caption";                               \
        EXPECT_STREQ(::gui::iconName(r_.icon), ::gui::iconName(expectedIcon)) << "report icon";       \
        EXPECT_TRUE(r_.ownerDisabled) << "the main window must take no input while a report is up"; \
    } while (0)

constexpr const char* kSuccess = "Patching completed successfully.";
constexpr const char* kNeedSource = "You need to select a source file first.";
constexpr const char* kNeedPatch = "You need to open a patch file first.";
constexpr const char* kNeedDestination = "You need to select a destination file first.";
constexpr const char* kSameFile = "The source and destination files must be different.";
constexpr const char* kCannotReadSource = "Cannot open the source file for reading.";
constexpr const char* kCannotWriteDestination = "Cannot open the destination file for writing.";
constexpr const char* kCannotReadPatch = "Cannot open the patch file for reading.";
constexpr const char* kNotIps = "Patch is not a valid IPS file.";

// The folder of the running test, emptied.
inline std::string testFolder()
{
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    return freshFolder(std::string(info->test_suite_name()) + "." + info->name());
}

inline std::string writePatch(const std::string& path, const PatchFile& patch)
{
    writeFile(path, patch.encode());
    return path;
}

inline void expectList(const App& app, const std::vector<ListItem>& expected)
{
    const std::vector<ListItem> shown = app.list();
    ASSERT_EQ(shown.size(), expected.size()) << "items in the list";
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].label, expected[i].label) << "label at " << i;
        EXPECT_EQ(shown[i].data, expected[i].data) << "item data at " << i;
        EXPECT_EQ(shown[i].check, expected[i].check) << "check at " << i;
    }
}

// Loads patch through the real dialog and checks what the window then shows.
inline void loadPatch(App& app, const std::string& path, const PatchFile& patch)
{
    app.chooseFile(IDC_BROWSE_PATCH, path);
    app.expectNoReport();
    EXPECT_EQ(app.text(IDC_PATCH_PATH), path);
    EXPECT_EQ(app.text(IDC_HUNK_COUNT), std::to_string(patch.records.size()));
    expectList(app, expectedList(patch));
}

// Position of the item whose item data is index.
inline int positionOf(const App& app, std::uint32_t index)
{
    const auto items = app.list();
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].data == index)
            return static_cast<int>(i);
    throw DriverError("no item for hunk " + std::to_string(index));
}

inline std::string upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

// Compares files without flooding the log with bytes.
inline ::testing::AssertionResult sameBytes(const Bytes& shown, const Bytes& expected)
{
    if (shown.size() != expected.size())
        return ::testing::AssertionFailure()
               << "size " << shown.size() << ", expected " << expected.size();
    for (std::size_t i = 0; i < shown.size(); ++i)
        if (shown[i] != expected[i])
            return ::testing::AssertionFailure() << "first difference at offset 0x" << std::hex << i << ": 0x"
                                                 << int(shown[i]) << ", expected 0x" << int(expected[i]);
    return ::testing::AssertionSuccess();
}

}  // namespace gui
