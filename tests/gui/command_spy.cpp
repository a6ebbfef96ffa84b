// A hook library that the driver puts into the program's thread: it counts the check
// list's check-change notifications (WM_COMMAND with code 40) and keeps the last one,
// and describes the font of a window asked for it, in shared memory that the driver
// made and reads.

#include <windows.h>

#include "command_spy.h"

extern "C" __declspec(dllexport) LRESULT CALLBACK spyOnCommands(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    const bool command = call && call->message == WM_COMMAND && HIWORD(call->wParam) == 40;
    const bool font = call && call->message == gui::spyFontMessage();
    if (code == HC_ACTION && (command || font)) {
        char name[64];
        gui::spyMemoryName(name, sizeof name, GetWindowThreadProcessId(call->hwnd, nullptr));
        if (HANDLE memory = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name)) {
            if (auto* record = static_cast<gui::SpyRecord*>(
                    MapViewOfFile(memory, FILE_MAP_WRITE, 0, 0, sizeof(gui::SpyRecord)))) {
                if (font) {
                    GetObjectA(reinterpret_cast<HGDIOBJ>(SendMessageA(call->hwnd, WM_GETFONT, 0, 0)),
                               sizeof record->font, &record->font);
                } else {
                    record->target = reinterpret_cast<std::uint64_t>(call->hwnd);
                    record->wParam = call->wParam;
                    record->lParam = static_cast<std::uint64_t>(call->lParam);
                    InterlockedIncrement(&record->count);
                }
                UnmapViewOfFile(record);
            }
            CloseHandle(memory);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
