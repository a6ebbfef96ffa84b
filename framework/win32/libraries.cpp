#include "framework/win32/libraries.h"

#include <string>

void RestrictLibrarySearch()
{
    using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
    const auto restrict = LibraryFunction<SetDefaultDllDirectoriesCall>(GetModuleHandleW(L"kernel32.dll"),
                                                                        "SetDefaultDllDirectories");
    if (restrict)
        restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const wchar_t* name)
{
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    const std::wstring path = std::wstring(folder, length) + L"\\" + name;
    // Its own libraries are then looked for beside it first, in the system folder.
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
