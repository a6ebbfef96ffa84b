// Starting and ending the program: App's start as the program's debugger, the debug loop
// that watches for a crash, the program's windows and controls, settling, the About box,
// closing and waiting for the end.

#include "app.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace gui {

std::string exeFileName(const std::string& exePath) { return exePath.substr(exePath.find_last_of("\\/") + 1); }

std::string exeTitle(const std::string& exePath)
{
    std::string name = exeFileName(exePath);
    std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot != 0)
        name.erase(dot);
    return name;
}

App::App(const std::string& exe) : reportCaption(exeTitle(exe))
{
    // The driver is the program's debugger, so that a crash ends the program at once and
    // is reported here, instead of starting Wine's debugger, which would wait forever.
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD startError = 0;
    m_watcher = std::thread([this, exe, started, &startError] {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string command = "\"" + exe + "\"";
        if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                            options().scratch.c_str(), &startup, &m_info))
            startError = GetLastError() ? GetLastError() : 1;
        SetEvent(started);
        if (!startError)
            watch();
    });
    WaitForSingleObject(started, INFINITE);
    CloseHandle(started);
    if (startError) {
        m_watcher.join();
        throw DriverError("cannot start " + exe + " (error " + std::to_string(startError) + ")");
    }
    trace("started " + exe);
    try {
        m_main = findWindow(pid(), "#32770", kMainCaption, 30000);
        settle();
    } catch (...) {
        end();
        throw;
    }
    trace("main window up");
}

void App::watch()
{
    for (;;) {
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, 200)) {
            if (m_stopWatching)
                return;
            continue;
        }
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile)
                CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile)
                CloseHandle(event.u.LoadDll.hFile);
            break;
        case EXCEPTION_DEBUG_EVENT: {
            const EXCEPTION_RECORD& record = event.u.Exception.ExceptionRecord;
            if (record.ExceptionCode == EXCEPTION_BREAKPOINT && !m_sawLoaderBreakpoint) {
                m_sawLoaderBreakpoint = true;  // every debugged process starts with one
            } else if (event.u.Exception.dwFirstChance) {
                status = DBG_EXCEPTION_NOT_HANDLED;  // the program's own handlers come first
            } else {
                char text[128];
                std::snprintf(text, sizeof text, "the program crashed: exception 0x%08lX at %p",
                              static_cast<unsigned long>(record.ExceptionCode), record.ExceptionAddress);
                {
                    std::lock_guard<std::mutex> lock(m_crashLock);
                    m_crash = text;
                }
                TerminateProcess(m_info.hProcess, 3);
                status = DBG_EXCEPTION_NOT_HANDLED;
            }
            break;
        }
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
        if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT)
            return;
    }
}

std::string App::crash() const
{
    std::lock_guard<std::mutex> lock(m_crashLock);
    return m_crash;
}

App::~App() { end(); }

void App::end()
{
    if (m_info.hProcess) {
        if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_info.hProcess, 255);
            WaitForSingleObject(m_info.hProcess, 10000);
        }
    }
    m_stopWatching = true;
    if (m_watcher.joinable())
        m_watcher.join();
    if (!crash().empty())
        ADD_FAILURE() << crash();
    if (m_info.hProcess) {
        CloseHandle(m_info.hThread);
        CloseHandle(m_info.hProcess);
        m_info = PROCESS_INFORMATION{};
    }
}

HWND App::item(int id) const
{
    HWND w = GetDlgItem(m_main, id);
    if (!w)
        throw DriverError("the main window has no control " + std::to_string(id));
    return w;
}

HWND App::focus() const
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(m_info.dwThreadId, &info))
        throw DriverError("cannot read the program's focus");
    return info.hwndFocus;
}

void App::settle() const
{
    // Input goes through the program's queue; a round trip of a sent message and a
    // short pause let it drain before the driver looks at the result. The pauses stay:
    // nothing seen from another process tells that input already queued has been taken
    // (WaitForInputIdle answers only once in a process's life).
    Sleep(60);
    send(m_main, WM_NULL);
    Sleep(60);
    send(m_main, WM_NULL);
}

HWND App::openAbout(WPARAM command)
{
    PostMessageA(m_main, WM_SYSCOMMAND, command, 0);
    return findWindow(pid(), "#32770", kAboutCaption, 10000);
}

bool App::closeWithEsc(DWORD timeoutMs)
{
    bringToFront(m_main);
    pressKey(VK_ESCAPE);
    return waitExit(timeoutMs);
}

bool App::waitExit(DWORD timeoutMs) { return WaitForSingleObject(m_info.hProcess, timeoutMs) == WAIT_OBJECT_0; }

}  // namespace gui
