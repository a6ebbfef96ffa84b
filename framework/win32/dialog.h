#pragma once
// Modal dialogs built from templates. A dialog class binds its commands and messages
// to member functions with plain tables, exchanges its fields with its controls
// through one DoDataExchange used both ways, and is the boundary where C++
// exceptions stop: whatever a handler throws is reported by the application object
// and the message counts as handled.

#include <windows.h>

#include <cstddef>
#include <string>

class CDialog;

// One run of a dialog's data exchange: from controls to fields when saving, the other
// way otherwise.
class CDataExchange {
public:
    CDataExchange(HWND dialog, bool saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_hDialog(dialog) {}

    HWND Control(int id) const { return GetDlgItem(m_hDialog, id); }

    const bool m_bSaveAndValidate;
    const HWND m_hDialog;  // borrowed
};

// A control's text and a string field.
void DDX_Text(CDataExchange& dx, int id, std::string& value);

class CDialog {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Creates the dialog from its template and runs it until EndDialog; returns the
    // result given there, or -1 when the dialog could not be created.
    INT_PTR DoModal();
    void EndDialog(int result);
    // Runs the data exchange: controls to fields when saving, fields to controls otherwise.
    bool UpdateData(bool saveAndValidate = true);

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

protected:
    // Runs the exchange from fields to controls; TRUE lets the platform set the focus.
    virtual BOOL OnInitDialog();
    // IDOK: saves the fields and ends the dialog with IDOK.
    virtual void OnOK();
    // IDCANCEL (Esc, the close box): ends the dialog with IDCANCEL.
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange& dx);

    // The dialog's own command map, asked before the defaults (IDOK, IDCANCEL, then
    // the application). True when it handled id.
    virtual bool OnCommand(UINT id);
    // The dialog's own message map. True when it handled the message; result is then
    // what the dialog procedure returns (FALSE still lets the platform's default run).
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

    template <class T>
    struct Command {
        UINT id;
        void (T::*handler)();
    };
    template <class T>
    struct Message {
        UINT message;
        INT_PTR (T::*handler)(WPARAM wParam, LPARAM lParam);
    };

    template <class T, std::size_t N>
    static bool Dispatch(T& self, const Command<T> (&map)[N], UINT id)
    {
        for (const Command<T>& entry : map) {
            if (entry.id == id) {
                (self.*entry.handler)();
                return true;
            }
        }
        return false;
    }
    template <class T, std::size_t N>
    static bool Dispatch(T& self, const Message<T> (&map)[N], UINT message, WPARAM wParam, LPARAM lParam,
                         INT_PTR& result)
    {
        for (const Message<T>& entry : map) {
            if (entry.message == message) {
                result = (self.*entry.handler)(wParam, lParam);
                return true;
            }
        }
        return false;
    }

    HWND m_hWnd = nullptr;  // borrowed from the dialog manager while the dialog exists

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL HandleInitDialog();
    bool HandleCommand(UINT id, UINT code);
    bool IsMainWindow() const;

    UINT m_templateId;
    HWND m_hParent;  // borrowed
};

// The message a dialog sends a control to hand it a WM_DRAWITEM or WM_MEASUREITEM
// meant for that control: wParam is the original message, lParam its structure. A
// control that draws itself answers TRUE; any other window answers 0.
UINT ReflectedMessage();
