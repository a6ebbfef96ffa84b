// A hook library that the driver puts into the program's thread: it counts the check
// list's check-change notifications (WM_COMMAND with code 40) and keeps the last one,
// describes the font of a window and the items of a menu asked for them, and, once asked,
// stands in for the shell where the program starts other programs and for the screen
// reader notifications Wine lacks; all in shared memory that the driver made and reads.

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "command_spy.h"

namespace {

// The record, mapped for the scope; null when the driver made none for the thread.
class Record {
public:
    explicit Record(DWORD thread)
    {
        char name[64];
        gui::spyMemoryName(name, sizeof name, thread);
        m_memory = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
        if (m_memory)
            m_record = static_cast<gui::SpyRecord*>(MapViewOfFile(m_memory, FILE_MAP_WRITE, 0, 0, sizeof(gui::SpyRecord)));
    }
    ~Record()
    {
        if (m_record)
            UnmapViewOfFile(m_record);
        if (m_memory)
            CloseHandle(m_memory);
    }
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
    gui::SpyRecord* operator->() const { return m_record; }
    explicit operator bool() const { return m_record != nullptr; }

private:
    HANDLE m_memory = nullptr;
    gui::SpyRecord* m_record = nullptr;
};

DWORD g_thread = 0;  // the program's thread, once the spy stands in for the shell

void started(const wchar_t* kind, const wchar_t* verb, const wchar_t* file)
{
    Record record(g_thread);
    if (!record)
        return;
    lstrcpynW(record->startKind, kind, 16);
    lstrcpynW(record->startVerb, verb ? verb : L"", 16);
    lstrcpynW(record->startFile, file ? file : L"", 520);
    InterlockedIncrement(&record->started);
}

BOOL WINAPI recordExecute(SHELLEXECUTEINFOW* info)
{
    started(L"open", info->lpVerb, info->lpFile);
    info->hInstApp = reinterpret_cast<HINSTANCE>(33);  // as after a success
    return TRUE;
}

HRESULT WINAPI recordSelect(PCIDLIST_ABSOLUTE folder, UINT, PCUITEMID_CHILD_ARRAY, DWORD)
{
    wchar_t path[MAX_PATH] = L"";
    SHGetPathFromIDListW(folder, path);
    started(L"select", nullptr, path);
    return S_OK;
}

HRESULT WINAPI recordAnnouncement(void*, int, int, const wchar_t* text, const wchar_t*)
{
    Record record(g_thread);
    if (record) {
        lstrcpynW(record->announcement, text ? text : L"", 64);
        InterlockedIncrement(&record->announced);
    }
    return S_OK;
}

FARPROC WINAPI lookUp(HMODULE library, LPCSTR name)
{
    if (reinterpret_cast<ULONG_PTR>(name) > 0xFFFF && lstrcmpA(name, "UiaRaiseNotificationEvent") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&recordAnnouncement));
    return GetProcAddress(library, name);
}

// Points the program's own imports of name at replacement.
void standIn(const char* name, void* replacement)
{
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); library->Name;
         ++library) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) ||
                lstrcmpA(reinterpret_cast<const char*>(
                             reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name),
                         name) != 0)
                continue;
            DWORD old;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
        }
    }
}

void describeMenu(HWND window, gui::SpyRecord& record)
{
    const auto menu = reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0));
    const int count = menu ? GetMenuItemCount(menu) : 0;
    record.menuItems = 0;
    for (int i = 0; i < count && i < 16; ++i) {
        gui::SpyMenuItem& item = record.menu[i];
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STATE;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        item.state = info.fState;
        GetMenuStringW(menu, static_cast<UINT>(i), item.text, 64, MF_BYPOSITION);
        GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &item.screen);
        record.menuItems = i + 1;
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK spyOnCommands(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    const bool command = call && call->message == WM_COMMAND && HIWORD(call->wParam) == 40;
    const bool font = call && call->message == gui::spyFontMessage();
    const bool menu = call && call->message == gui::spyMenuMessage();
    const bool shell = call && call->message == gui::spyShellMessage();
    if (code == HC_ACTION && (command || font || menu || shell)) {
        const DWORD thread = GetWindowThreadProcessId(call->hwnd, nullptr);
        Record record(thread);
        if (record) {
            if (font) {
                GetObjectA(reinterpret_cast<HGDIOBJ>(SendMessageA(call->hwnd, WM_GETFONT, 0, 0)),
                           sizeof record->font, &record->font);
            } else if (menu) {
                describeMenu(call->hwnd, *record.operator->());
            } else if (shell) {
                g_thread = thread;
                standIn("ShellExecuteExW", reinterpret_cast<void*>(&recordExecute));
                standIn("SHOpenFolderAndSelectItems", reinterpret_cast<void*>(&recordSelect));
                standIn("GetProcAddress", reinterpret_cast<void*>(&lookUp));
            } else {
                record->target = reinterpret_cast<std::uint64_t>(call->hwnd);
                record->wParam = call->wParam;
                record->lParam = static_cast<std::uint64_t>(call->lParam);
                InterlockedIncrement(&record->count);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
