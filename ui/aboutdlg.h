#pragma once
// The About box: version, maker's notice and logo; OK, Esc and the close box end it.

#include "framework/win32/dialog.h"

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(HWND owner);
};
