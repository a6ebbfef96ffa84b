// The framework pieces under the engine: files, errors, the check list, the array.

#include <gtest/gtest.h>

#include <string>

#include "framework/exceptions.h"
#include "framework/file.h"
#include "framework/object.h"
#include "support.h"

#ifdef _WIN32
#include "framework/win32/text.h"
#endif

namespace {

TEST(FileError, MessagesNameTheFileOrAnUnnamedOne)
{
    std::string text;
    CFileException(CFileException::diskFull, 0, "C:\\out.bin").GetErrorMessage(text);
    EXPECT_EQ(text, "Disk full while accessing C:\\out.bin.");
    CFileException(CFileException::hardIO).GetErrorMessage(text);
    EXPECT_EQ(text, "A hardware I/O error was reported while accessing an unnamed file.");
    CFileException(CFileException::badSeek).GetErrorMessage(text);
    EXPECT_EQ(text, "Seek failed on an unnamed file");
    CFileException(CFileException::none).GetErrorMessage(text);
    EXPECT_EQ(text, "No error occurred.");
    CFileException(CFileException::fileNotFound, 2, "a%1b").GetErrorMessage(text);
    EXPECT_EQ(text, "a%1b was not found.");
    EXPECT_FALSE(CException().GetErrorMessage(text));
    ASSERT_TRUE(CMemoryException().GetErrorMessage(text));
    EXPECT_EQ(text, "Out of memory.");
}

#ifdef _WIN32
// A name is taken only as the code page holds it letter for letter: converted "best
// fit", a full-width name would become the name of another file.
TEST(FileName, IsTakenOnlyWhenTheCodePageHoldsItExactly)
{
    const struct {
        const wchar_t* name;
        UINT codePage;
        const char* narrow;  // null: refused
    } rows[] = {
        {L"C:\\games\\caf\u00E9.bin", 1252, "C:\\games\\caf\xE9.bin"},
        {L"C:\\games\\\uFF46\uFF4F\uFF4F.bin", 1252, nullptr},
        {L"C:\\games\\\u0438\u0433\u0440\u0430.bin", 1252, nullptr},
        {L"C:\\games\\\uFF46\uFF4F\uFF4F.bin", CP_UTF8, "C:\\games\\\xEF\xBD\x86\xEF\xBD\x8F\xEF\xBD\x8F.bin"},
        {L"C:\\games\\\xD800.bin", CP_UTF8, nullptr},
    };
    for (const auto& row : rows) {
        std::string narrow;
        EXPECT_EQ(NarrowName(row.name, row.codePage, narrow), row.narrow != nullptr) << row.codePage << " " << narrow;
        EXPECT_EQ(narrow, row.narrow ? row.narrow : "");
    }
}
#endif

TEST(File, FieldReadsAcrossTheBufferMatchTheFile)
{
    ScratchDir dir;
    const Bytes bytes = pattern(3 * CFile::kBufferSize + 17, 21);
    writeFile(dir.path("f"), bytes);
    CFile file;
    ASSERT_TRUE(file.Open(dir.path("f").c_str(), CFile::modeRead));
    Bytes back;
    std::size_t step = 1;
    for (;;) {
        unsigned char chunk[7];
        const std::size_t want = step++ % 7 + 1;
        const std::size_t got = file.Read(chunk, want);
        back.insert(back.end(), chunk, chunk + got);
        if (back.size() == CFile::kBufferSize + 5) {
            EXPECT_EQ(file.GetLength(), bytes.size());  // finding the length does not move reading
        }
        if (got < want)
            break;
    }
    EXPECT_EQ(back, bytes);
    EXPECT_EQ(file.Read(back.data(), 1), 0u);
    file.Close();
    EXPECT_FALSE(file.IsOpen());
}

TEST(File, LargeReadAfterSmallOnesKeepsOrder)
{
    ScratchDir dir;
    const Bytes bytes = pattern(5 * CFile::kBufferSize, 22);
    writeFile(dir.path("f"), bytes);
    CFile file;
    ASSERT_TRUE(file.Open(dir.path("f").c_str(), CFile::modeRead));
    Bytes head(3), rest(bytes.size());
    ASSERT_EQ(file.Read(head.data(), 3), 3u);
    EXPECT_EQ(file.Read(rest.data(), rest.size()), bytes.size() - 3);
    rest.resize(bytes.size() - 3);
    head.insert(head.end(), rest.begin(), rest.end());
    EXPECT_EQ(head, bytes);
}

TEST(File, OpensAreExclusiveAndFailuresCarryTheirCause)
{
    ScratchDir dir;
    const std::string path = dir.path("f");
    CFile missing;
    CFileException error;
    EXPECT_FALSE(missing.Open(path.c_str(), CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);

    CFile writer;
    ASSERT_TRUE(writer.Open(path.c_str(), CFile::modeCreate));
    EXPECT_TRUE(writer.Created());
    writer.Write("abc", 3);
    CFile reader;
    EXPECT_FALSE(reader.Open(path.c_str(), CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
    writer.Close();
    ASSERT_TRUE(reader.Open(path.c_str(), CFile::modeRead));
    EXPECT_EQ(reader.GetLength(), 3u);
    CFile second;
    EXPECT_FALSE(second.Open(path.c_str(), CFile::modeCreate));
    reader.Close();
    EXPECT_EQ(readFile(path), (Bytes{'a', 'b', 'c'}));  // the refused create did not truncate

    CFile again;
    EXPECT_FALSE(again.Open(path.c_str(), CFile::modeCreateNew));
    ASSERT_TRUE(again.Open(path.c_str(), CFile::modeWriteExisting));
    EXPECT_FALSE(again.Created());
}

TEST(CheckList, ItemDataAndChecksFollowTheirItems)
{
    TestList list;
    EXPECT_EQ(list->AddString(" 0x000200 - 0x000200"), 0);
    ASSERT_EQ(list->SetItemData(0, 0), 0);
    list->SetCheck(0, 1);
    EXPECT_EQ(list->AddString(" 0x000100 - 0x000100"), 0);
    EXPECT_EQ(list->GetCheck(0), 0);  // never set
    ASSERT_EQ(list->SetItemData(0, 0xFFFFFFFFu), 0);
    EXPECT_EQ(list.itemData(), (std::vector<std::uint32_t>{0xFFFFFFFFu, 0}));
    EXPECT_EQ(list.checks(), (std::vector<int>{0, 1}));
    // Setting data keeps the check, setting the check keeps the data.
    list->SetCheck(0, 1);
    list->SetItemData(1, 7);
    EXPECT_EQ(list.itemData(), (std::vector<std::uint32_t>{0xFFFFFFFFu, 7}));
    EXPECT_EQ(list.checks(), (std::vector<int>{1, 1}));
    list->SetCheck(1, 2);
    EXPECT_EQ(list->GetCheck(1), 2);

    EXPECT_EQ(list->GetCheck(5), 0);
    EXPECT_EQ(list->SetItemData(5, 1), -1);

    list->ResetContent();
    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_EQ(list->AddString(" 0x000300 - 0x000300"), 0);
    EXPECT_EQ(list->GetCheck(0), 0);
    EXPECT_EQ(list->GetItemData(0), 0u);
}

TEST(CheckList, OrdersLabelsAlphabetically)
{
    TestList list;
    for (const char* label : {" 0x00000A - 0x00000B", " 0x000009 - 0x00000A", " 0x000010 - 0x00000F",
                              " 0x000000 - 0xFFFFFFFF"})
        list->AddString(label);
    EXPECT_EQ(list.labels(), (std::vector<std::string>{" 0x000000 - 0xFFFFFFFF", " 0x000009 - 0x00000A",
                                                      " 0x00000A - 0x00000B", " 0x000010 - 0x00000F"}));
}

TEST(CheckList, PutsAnEqualLabelBeforeThoseAlreadyThere)
{
    TestList list;
    list->AddString(" 0x000001 - 0x000001");
    list->SetItemData(0, 1);
    EXPECT_EQ(list->AddString(" 0x000001 - 0x000001"), 0);
    list->SetItemData(0, 2);
    EXPECT_EQ(list.itemData(), (std::vector<std::uint32_t>{2, 1}));
}

TEST(ObArray, KeepsItsGrowthStepAcrossEmptying)
{
    CObArray array;
    array.SetSize(0, 100);
    struct Item : CObject {};
    Item a, b;
    EXPECT_EQ(array.Add(&a), 0u);
    EXPECT_EQ(array.Add(&b), 1u);
    EXPECT_EQ(array[1], &b);
    array.RemoveAll();
    EXPECT_EQ(array.GetSize(), 0u);
    EXPECT_EQ(array.GetGrowBy(), 100u);
}

}  // namespace
