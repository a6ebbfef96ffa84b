#pragma once
// The About box: version, maker's notice and logo; OK, Esc and the close box end it.

#include "framework/win32/dialog.h"
#include "ui/logo.h"

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(HWND owner);

protected:
    BOOL OnInitDialog() override;

private:
    CLogo m_logo;
};
