#include "framework/win32/winapp.h"

#include <objbase.h>

#include <new>
#include <string>

#include "framework/exceptions.h"
#include "framework/win32/dialog.h"
#include "framework/win32/libraries.h"
#include "framework/win32/report_win32.h"

namespace {

CWinApp* g_app = nullptr;  // borrowed: the program's one application object

constexpr const char* kInternalError = "Internal application error.";

// Removes the thread's message-filter hook when start-up ends, however it ends.
class MessageFilterHook {
public:
    explicit MessageFilterHook(HOOKPROC procedure)
        : m_hook(SetWindowsHookExA(WH_MSGFILTER, procedure, nullptr, GetCurrentThreadId()))
    {
        s_hook = m_hook;
    }
    ~MessageFilterHook()
    {
        if (m_hook)
            UnhookWindowsHookEx(m_hook);
        s_hook = nullptr;
    }
    MessageFilterHook(const MessageFilterHook&) = delete;
    MessageFilterHook& operator=(const MessageFilterHook&) = delete;

    static HHOOK current() { return s_hook; }

private:
    HHOOK m_hook;  // owned
    static HHOOK s_hook;
};

HHOOK MessageFilterHook::s_hook = nullptr;

// The thread's COM apartment while the program runs: screen readers reach the objects
// it hands them (the check list's) through it.
class ComApartment {
public:
    ComApartment() : m_joined(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComApartment()
    {
        if (m_joined)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool m_joined;
};

bool keyDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

// Dialog boxes run their own message loops, so F1 is caught where the platform lets
// a program see their messages. Only F1 meant for the main window becomes Help;
// message boxes and the file dialogs keep theirs.
LRESULT CALLBACK messageFilter(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == MSGF_DIALOGBOX && lParam) {
        const MSG& msg = *reinterpret_cast<const MSG*>(lParam);
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_F1 && !keyDown(VK_SHIFT) && !keyDown(VK_CONTROL) &&
            !keyDown(VK_MENU)) {
            HWND main = AfxGetMainHwnd();
            if (main && (msg.hwnd == main || IsChild(main, msg.hwnd)) && IsWindowEnabled(main)) {
                SendMessageA(main, WM_COMMAND, MAKEWPARAM(ID_HELP, 0), 0);
                return TRUE;
            }
        }
    }
    return CallNextHookEx(MessageFilterHook::current(), code, wParam, lParam);
}

// The report for an error that escaped a message handler. A memory error gets a fixed
// text: building one could need the memory that just ran out.
void reportError(std::exception_ptr error) noexcept
{
    try {
        std::rethrow_exception(error);
    } catch (const CMemoryException&) {
        showReport("Out of memory.", MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
    } catch (const std::bad_alloc&) {
        showReport("Out of memory.", MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
    } catch (const CException& exception) {
        std::string text;
        bool own = false;
        try {
            own = exception.GetErrorMessage(text);
        } catch (...) {
            own = false;
        }
        showReport(own ? text.c_str() : kInternalError, MB_ICONSTOP);
    } catch (...) {
        showReport(kInternalError, MB_ICONSTOP);
    }
}

}  // namespace

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

int CWinApp::Run(HINSTANCE instance)
{
    // Before anything else can load a library or touch the heap: a corrupted heap ends the
    // process rather than running on, and no library comes from the program's folder.
    HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
    RestrictLibrarySearch();
    m_hInstance = instance;
    ComApartment com;
    MessageFilterHook hook(messageFilter);
    try {
        if (!InitInstance())
            return ExitInstance();
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return ExitInstance();
    } catch (...) {
        ReportException(std::current_exception());
        return 1;
    }
}

bool CWinApp::OnCommand(UINT id)
{
    if (id != ID_HELP)
        return false;
    OnHelp();
    return true;
}

void CWinApp::ReportException(std::exception_ptr error) noexcept { reportError(error); }

CWinApp* AfxGetApp() { return g_app; }

HINSTANCE AfxGetInstanceHandle() { return g_app && g_app->m_hInstance ? g_app->m_hInstance : GetModuleHandleA(nullptr); }

HWND AfxGetMainHwnd() { return g_app && g_app->m_pMainWnd ? g_app->m_pMainWnd->GetSafeHwnd() : nullptr; }

void AfxReportException(std::exception_ptr error) noexcept
{
    if (g_app)
        g_app->ReportException(error);
    else
        reportError(error);
}
