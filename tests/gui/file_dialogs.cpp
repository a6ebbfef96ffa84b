// The file dialogs that the Browse buttons open: filled in, typed into, confirmed (and
// the save dialog's question answered) or cancelled.

#include "internal.h"

#include "app.h"

namespace gui {

HWND App::openFileDialog(int browseButton)
{
    clickButton(item(browseButton));
    return waitFileDialog();
}

HWND App::waitFileDialog()
{
    HWND dialog = nullptr;
    if (!waitUntil(
            [&] {
                for (HWND w : topWindows(pid(), "#32770", nullptr))
                    if (w != m_main && GetWindow(w, GW_OWNER) == m_main && GetDlgItem(w, IDOK) &&
                        GetDlgItem(w, IDCANCEL) && !descendants(w, "Edit").empty())
                        return (dialog = w) != nullptr;
                return false;
            },
            15000))
        throw DriverError("no file dialog");
    return dialog;
}

namespace {

HWND fileNameEdit(HWND dialog)
{
    std::vector<HWND> edits = descendants(dialog, "Edit");
    for (HWND e : edits)
        if (GetDlgCtrlID(e) == 0x480 || GetDlgCtrlID(GetParent(e)) == 0x47C)  // edt1, cmb13
            return e;
    if (edits.empty())
        throw DriverError("the file dialog has no file name box");
    return edits.front();
}

// A #32770 box owned by owner, if one is up.
HWND boxOwnedBy(DWORD pid, HWND owner)
{
    for (HWND w : topWindows(pid, "#32770", nullptr))
        if (GetWindow(w, GW_OWNER) == owner)
            return w;
    return nullptr;
}

}  // namespace

void App::confirmFileDialog(HWND dialog, const std::string& path, bool expectReplaceQuestion, bool typed)
{
    HWND edit = fileNameEdit(dialog);
    if (typed) {
        send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
        bringToFront(dialog);
        if (!waitUntil([&] { return focus() == edit; }))
            throw DriverError("the file name box does not have the focus");
        typeText(widen(path));
        if (!waitUntil([&] { return wideText(edit) == widen(path); }))
            throw DriverError("the file name box shows \"" + narrow(wideText(edit)) + "\" after typing " + path);
    } else {
        send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        if (windowText(edit) != path)
            throw DriverError("the file name box does not take the path");
    }
    clickButton(GetDlgItem(dialog, IDOK));

    // Waits for the dialog to go, answering the question it may ask on the way.
    bool asked = false;
    auto gone = [&] {
        if (!IsWindow(dialog) || !IsWindowVisible(dialog))
            return true;
        if (HWND box = boxOwnedBy(pid(), dialog)) {
            std::string question = boxText(box);
            if (expectReplaceQuestion && !asked && GetDlgItem(box, IDYES)) {
                asked = true;
                clickButton(GetDlgItem(box, IDYES));
                waitGone(box);
                return false;
            }
            clickButton(GetDlgItem(box, GetDlgItem(box, IDOK) ? IDOK : IDNO));
            waitGone(box);
            clickButton(GetDlgItem(dialog, IDCANCEL));
            waitGone(dialog);
            throw DriverError("the file dialog refused " + path + ": " + question);
        }
        return false;
    };
    if (!waitUntil(gone, 15000))
        throw DriverError("the file dialog did not close after OK");
    if (expectReplaceQuestion && !asked)
        throw DriverError("the save dialog did not ask before replacing " + path);
}

void App::startFile(int browseButton, const std::string& path)
{
    trace("choose " + path);
    HWND dialog = openFileDialog(browseButton);
    trace("dialog up");
    confirmFileDialog(dialog, path, false);
    trace("dialog closed");
}

void App::chooseFile(int browseButton, const std::string& path)
{
    startFile(browseButton, path);
    settle();
}

void App::typeFile(int browseButton, const std::string& path, bool replace)
{
    trace("type " + path);
    confirmFileDialog(openFileDialog(browseButton), path, replace, true);
    settle();
}

void App::chooseExistingDestination(const std::string& path)
{
    confirmFileDialog(openFileDialog(IDC_BROWSE_DEST), path, true);
    settle();
}

void App::cancelFile(int browseButton, const std::string& path)
{
    HWND dialog = openFileDialog(browseButton);
    send(fileNameEdit(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    clickButton(GetDlgItem(dialog, IDCANCEL));
    waitGone(dialog);
    settle();
}

}  // namespace gui
