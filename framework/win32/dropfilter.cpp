#include "framework/win32/dropfilter.h"

#include "framework/win32/libraries.h"

void AcceptDropsFromLowerPrograms(HWND window, MessageFilterCall call)
{
    if (!call)
        call = LibraryFunction<MessageFilterCall>(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx");
    if (!call)
        return;
    constexpr UINT kCopyGlobalData = 0x0049;  // how the drop's data crosses between processes
    constexpr DWORD kAllow = 1;               // MSGFLT_ALLOW
    for (const UINT message : {static_cast<UINT>(WM_DROPFILES), static_cast<UINT>(WM_COPYDATA), kCopyGlobalData})
        call(window, message, kAllow, nullptr);
}
