// Drops from Explorer onto the program run elevated, through a stand-in for the system's
// message filter, which Wine does not have.

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "framework/win32/dropfilter.h"

namespace {

std::vector<std::pair<UINT, DWORD>> g_allowed;

BOOL WINAPI recordFilter(HWND window, UINT message, DWORD action, void* status)
{
    EXPECT_EQ(window, reinterpret_cast<HWND>(0x1234));
    EXPECT_EQ(status, nullptr);
    g_allowed.emplace_back(message, action);
    return TRUE;
}

TEST(DropFilter, TheDropsOwnMessagesPassFromLowerPrograms)
{
    AcceptDropsFromLowerPrograms(reinterpret_cast<HWND>(0x1234), recordFilter);
    const std::vector<std::pair<UINT, DWORD>> expected = {{WM_DROPFILES, 1}, {WM_COPYDATA, 1}, {0x0049, 1}};
    EXPECT_EQ(g_allowed, expected);
}

}  // namespace
