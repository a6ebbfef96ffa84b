// A library planted beside a copy of the program under a system library's name. Loaded,
// it leaves a file named after itself (planted oleacc.dll: oleacc.loaded) and exports
// nothing, so whoever asked for it gets none of the calls it wanted.

#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    if (n > 4 && n < MAX_PATH) {
        const std::wstring marker = std::wstring(path, n - 4) + L".loaded";
        CloseHandle(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    return TRUE;
}
