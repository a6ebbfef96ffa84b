// The folder watch under Windows: what the window is told after its files change, and
// how a folder whose drive is to be removed is let go of.

#include <windows.h>
#include <dbt.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "framework/win32/folderwatch.h"
#include "support.h"

namespace {

constexpr UINT kLooks = WM_APP + 7;

std::function<bool(const PathLook&)> is(FileLook look)
{
    return [look](const PathLook& seen) { return seen.look == look; };
}

// A watch that tells a message-only window, and the looks its messages bring.
class Watched {
public:
    Watched() { EXPECT_TRUE(watch.Start(m_window.get(), kLooks)); }

    // The first look at path from now on that is wanted, within a few seconds; failed when none.
    PathLook await(const std::string& path, const std::function<bool(const PathLook&)>& wanted)
    {
        const ULONGLONG end = GetTickCount64() + 5000;
        for (;;) {
            for (auto it = m_seen.begin(); it != m_seen.end();) {
                if (it->path != path) {
                    ++it;
                    continue;
                }
                const PathLook seen = it->seen;
                it = m_seen.erase(it);
                if (wanted(seen))
                    return seen;
            }
            const ULONGLONG now = GetTickCount64();
            if (now >= end)
                return {};
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_POSTMESSAGE);
            MSG msg;
            while (PeekMessageA(&msg, m_window.get(), kLooks, kLooks, PM_REMOVE))
                for (auto& look : watch.TakeLooks())
                    m_seen.push_back(std::move(look));
        }
    }

private:
    std::unique_ptr<HWND__, decltype(&DestroyWindow)> m_window{
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr), &DestroyWindow};
    std::vector<CFolderWatch::Look> m_seen;

public:
    CFolderWatch watch;  // ends before the window goes
};

TEST(FolderWatch, TellsOfWritesInPlaceDeletionsAndFilesOfANewSet)
{
    ScratchDir dir;
    const std::string a = dir.path("a.bin"), b = dir.path("b.bin"), later = dir.path("later\\c.bin");
    writeFile(a, pattern(64, 1));
    writeFile(b, pattern(64, 2));
    Watched w;
    w.watch.Watch({a, b, "", a});
    const PathLook first = w.await(a, is(FileLook::found));
    ASSERT_EQ(first.look, FileLook::found);
    EXPECT_EQ(w.await(b, is(FileLook::found)).look, FileLook::found);

    // The same size and the last write put back: only the change time tells, which must have
    // room to move.
    Sleep(50);
    HANDLE file = CreateFileA(a.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME written;
    DWORD wrote = 0;
    const Bytes other = pattern(64, 3);
    EXPECT_TRUE(GetFileTime(file, nullptr, nullptr, &written) && WriteFile(file, other.data(), 64, &wrote, nullptr) &&
                SetFileTime(file, nullptr, nullptr, &written));
    CloseHandle(file);
    const PathLook rewritten = w.await(a, [&](const PathLook& seen) { return seen.identity != first.identity; });
    EXPECT_EQ(rewritten.look, FileLook::found);
    EXPECT_EQ(rewritten.identity.written, first.identity.written);

    ASSERT_TRUE(DeleteFileA(b.c_str()));
    EXPECT_EQ(w.await(b, is(FileLook::missing)).look, FileLook::missing);

    // A new set is looked at at once; a folder that comes later, by the poll while active,
    // and from then on watched.
    w.watch.Watch({a, later});
    EXPECT_EQ(w.await(later, is(FileLook::missing)).look, FileLook::missing);
    w.watch.SetActive(true);
    support::makeFolder(dir.path("later"));
    writeFile(later, pattern(8, 4));
    EXPECT_EQ(w.await(later, is(FileLook::found)).look, FileLook::found);
    w.watch.SetActive(false);
    support::removeFile(later);
    EXPECT_EQ(w.await(later, is(FileLook::missing)).look, FileLook::missing);
}

TEST(FolderWatch, ClosesAFolderWhoseDriveIsToGoBeforeAnsweringAndPollsIt)
{
    ScratchDir dir;
    const std::string a = dir.path("a.bin");
    writeFile(a, pattern(16, 5));
    Watched w;
    w.watch.Watch({a});
    ASSERT_EQ(w.await(a, is(FileLook::found)).look, FileLook::found);
    const auto exclusive = [&] {
        UniqueFileHandle folder(CreateFileA(dir.folder().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return static_cast<bool>(folder);
    };
    BY_HANDLE_FILE_INFORMATION folder{}, found{};
    {
        UniqueFileHandle h(CreateFileA(dir.folder().c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        ASSERT_TRUE(GetFileInformationByHandle(h.get(), &folder));
    }
    // The watch's handle is the only one left on the folder.
    DEV_BROADCAST_HANDLE broadcast{};
    broadcast.dbch_size = sizeof broadcast;
    broadcast.dbch_devicetype = DBT_DEVTYP_HANDLE;
    for (std::uintptr_t value = 4; value < 0x4000 && !broadcast.dbch_handle; value += 4)
        if (GetFileInformationByHandle(reinterpret_cast<HANDLE>(value), &found) &&
            found.dwVolumeSerialNumber == folder.dwVolumeSerialNumber &&
            found.nFileIndexHigh == folder.nFileIndexHigh && found.nFileIndexLow == folder.nFileIndexLow)
            broadcast.dbch_handle = reinterpret_cast<HANDLE>(value);
    ASSERT_NE(broadcast.dbch_handle, nullptr);
    EXPECT_FALSE(exclusive());

    EXPECT_FALSE(w.watch.OnDeviceChange(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&broadcast)));
    DEV_BROADCAST_HANDLE other = broadcast;
    other.dbch_handle = GetCurrentThread();
    EXPECT_FALSE(w.watch.OnDeviceChange(DBT_DEVICEQUERYREMOVE, reinterpret_cast<LPARAM>(&other)));
    EXPECT_FALSE(exclusive());
    EXPECT_TRUE(w.watch.OnDeviceChange(DBT_DEVICEQUERYREMOVE, reinterpret_cast<LPARAM>(&broadcast)));
    EXPECT_TRUE(exclusive()) << "closed before the answer";

    w.watch.SetActive(true);
    ASSERT_TRUE(DeleteFileA(a.c_str()));
    EXPECT_EQ(w.await(a, is(FileLook::missing)).look, FileLook::missing);
    EXPECT_TRUE(exclusive()) << "not held again";
}

}  // namespace
