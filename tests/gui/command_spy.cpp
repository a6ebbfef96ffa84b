// A hook library that the driver puts into the program's thread: it counts the check
// list's check-change notifications (WM_COMMAND with code 40) and keeps the last one,
// in shared memory that the driver made and reads.

#include <windows.h>

#include "command_spy.h"

extern "C" __declspec(dllexport) LRESULT CALLBACK spyOnCommands(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call && call->message == WM_COMMAND && HIWORD(call->wParam) == 40) {
        char name[64];
        gui::spyMemoryName(name, sizeof name, GetWindowThreadProcessId(call->hwnd, nullptr));
        if (HANDLE memory = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name)) {
            if (auto* record = static_cast<gui::SpyRecord*>(
                    MapViewOfFile(memory, FILE_MAP_WRITE, 0, 0, sizeof(gui::SpyRecord)))) {
                record->target = reinterpret_cast<std::uint64_t>(call->hwnd);
                record->wParam = call->wParam;
                record->lParam = static_cast<std::uint64_t>(call->lParam);
                InterlockedIncrement(&record->count);
                UnmapViewOfFile(record);
            }
            CloseHandle(memory);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
