#pragma once
// The logo of the main window and the About box. At 96 DPI the picture shows bitmap
// IDB_LOGO as the template has it; on any other screen it shows the large logo scaled to
// the room the template gives the picture there.

#include <windows.h>

#include "framework/win32/gdi.h"

class CLogo {
public:
    // Fits the logo to the dialog's bitmap picture.
    void Show(HWND dialog);

private:
    OwnedBitmap m_bitmap;  // shown by the picture, which never frees what it is given
};
