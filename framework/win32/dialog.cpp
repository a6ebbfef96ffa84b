#include "framework/win32/dialog.h"

#include "framework/win32/report_win32.h"
#include "framework/win32/winapp.h"

namespace {

std::string windowText(HWND window)
{
    const int length = GetWindowTextLengthA(window);
    if (length <= 0)
        return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(window, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

// A dialog with an owner and no position of its own opens centred over the owner,
// kept inside the owner's monitor.
void centreOverOwner(HWND dialog)
{
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (!owner || (GetWindowLongA(dialog, GWL_STYLE) & DS_CENTER))
        return;
    RECT ownerRect, rect;
    GetWindowRect(owner, &ownerRect);
    GetWindowRect(dialog, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    int x = ownerRect.left + (ownerRect.right - ownerRect.left - width) / 2;
    int y = ownerRect.top + (ownerRect.bottom - ownerRect.top - height) / 2;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        if (x + width > work.right)
            x = work.right - width;
        if (y + height > work.bottom)
            y = work.bottom - height;
        if (x < work.left)
            x = work.left;
        if (y < work.top)
            y = work.top;
    }
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Where each dialog window keeps its class's own window procedure, under the one every
// dialog here gets: dialogs of different classes have different ones.
constexpr const char* kFrameProc = "Velquin.FrameProc";

// An owner-drawn list that is emptied or destroyed tells its owner of every item. No list
// of these dialogs keeps anything in its items for the owner to free, and a long list
// sends many thousands: they end here, before the dialog manager's own handling, which
// costs more than the deletion itself.
// A property lookup is a trip to the window system under Wine, and a dialog can get many
// thousand messages in a row (a range ticked in its list tells it of each row): the last
// dialog's procedure is remembered.
thread_local HWND t_lastFrame = nullptr;
thread_local WNDPROC t_lastFrameProc = nullptr;

LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DELETEITEM)
        return TRUE;
    WNDPROC previous = window == t_lastFrame ? t_lastFrameProc : nullptr;
    if (!previous) {
        previous = reinterpret_cast<WNDPROC>(GetPropA(window, kFrameProc));
        t_lastFrame = window;
        t_lastFrameProc = previous;
    }
    if (message == WM_NCDESTROY) {
        RemovePropA(window, kFrameProc);
        t_lastFrame = nullptr;
    }
    return CallWindowProcA(previous, window, message, wParam, lParam);
}

void putFrameProc(HWND window)
{
    const LONG_PTR previous = GetWindowLongPtrA(window, GWLP_WNDPROC);
    if (SetPropA(window, kFrameProc, reinterpret_cast<HANDLE>(previous)))
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&frameProc));
}

}  // namespace

void DDX_Text(CDataExchange& dx, int id, std::string& value)
{
    HWND control = dx.Control(id);
    if (dx.m_bSaveAndValidate) {
        value = windowText(control);
    } else if (windowText(control) != value) {
        // Setting an unchanged text would only make the control flicker.
        SetWindowTextA(control, value.c_str());
    }
}

UINT ReflectedMessage()
{
    static const UINT message = RegisterWindowMessageA("Velquin.ReflectedOwnerDraw");
    return message;
}

CDialog::CDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_hParent(parent) {}

CDialog::~CDialog()
{
    // A dialog object never outlives a run of DoModal, but a window left behind must
    // not call into a dead object.
    if (m_hWnd)
        SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
}

INT_PTR CDialog::DoModal()
{
    const INT_PTR result = DialogBoxParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_templateId), m_hParent,
                                           &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

void CDialog::EndDialog(int result)
{
    if (m_hWnd)
        ::EndDialog(m_hWnd, result);
}

bool CDialog::UpdateData(bool saveAndValidate)
{
    CDataExchange dx(m_hWnd, saveAndValidate);
    DoDataExchange(dx);
    return true;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange&) {}

bool CDialog::OnCommand(UINT) { return false; }

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }

bool CDialog::IsMainWindow() const
{
    const CWinApp* app = AfxGetApp();
    return app && app->m_pMainWnd == this;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = window;
        putFrameProc(window);
    } else {
        self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    }
    // Messages before WM_INITDIALOG (the controls' creation) get the default handling.
    if (!self)
        return FALSE;

    INT_PTR result;
    try {
        result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        AfxReportException(std::current_exception());
        // A paint that failed must not be asked for again and again.
        if (message == WM_PAINT)
            ValidateRect(window, nullptr);
        result = TRUE;
    }
    if (message == WM_NCDESTROY) {
        if (self->IsMainWindow())
            setReportOwner(nullptr);
        SetWindowLongPtrA(window, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return result;
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return HandleInitDialog();
    case WM_COMMAND:
        return HandleCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item && item->CtlType != ODT_MENU && item->hwndItem &&
            SendMessageA(item->hwndItem, ReflectedMessage(), message, lParam))
            return TRUE;
        break;
    }
    case WM_MEASUREITEM: {
        const auto* item = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
        HWND control = item && item->CtlType != ODT_MENU ? GetDlgItem(static_cast<int>(item->CtlID)) : nullptr;
        if (control && SendMessageA(control, ReflectedMessage(), message, lParam))
            return TRUE;
        break;
    }
    default:
        break;
    }
    INT_PTR result = FALSE;
    if (OnMessage(message, wParam, lParam, result))
        return result;
    return FALSE;
}

BOOL CDialog::HandleInitDialog()
{
    if (IsMainWindow())
        setReportOwner(m_hWnd);
    RECT before;
    GetWindowRect(m_hWnd, &before);
    const BOOL focusDefault = OnInitDialog();
    RECT after;
    GetWindowRect(m_hWnd, &after);
    if (EqualRect(&before, &after))
        centreOverOwner(m_hWnd);
    return focusDefault;
}

bool CDialog::HandleCommand(UINT id, UINT code)
{
    // Clicks, menu entries and the dialog manager's IDOK/IDCANCEL; other control
    // notifications are not commands.
    if (code != BN_CLICKED)
        return false;
    if (OnCommand(id))
        return true;
    switch (id) {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        OnCancel();
        return true;
    default:
        break;
    }
    CWinApp* app = AfxGetApp();
    return app && app->OnCommand(id);
}
