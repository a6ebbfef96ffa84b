#include "ui/logo.h"

#include <utility>

#include "app/resource.h"
#include "framework/win32/dpi.h"
#include "framework/win32/picture.h"
#include "framework/win32/winapp.h"

namespace {

// The room both templates give the logo, in dialog units.
constexpr int kLogoWidth = 71, kLogoHeight = 70;

HWND bitmapPicture(HWND dialog)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char kind[16] = "";
        GetClassNameA(child, kind, sizeof kind);
        if (lstrcmpiA(kind, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP)
            return child;
    }
    return nullptr;
}

}  // namespace

void CLogo::Show(HWND dialog)
{
    HWND picture = bitmapPicture(dialog);
    if (!picture || ScreenDpi() == 96)
        return;
    RECT room{0, 0, kLogoWidth, kLogoHeight};
    MapDialogRect(dialog, &room);
    OwnedBitmap scaled = LoadScaledBitmap(AfxGetInstanceHandle(), IDB_LOGO_LARGE, room.right, room.bottom);
    if (!scaled)
        return;
    // The picture takes the new bitmap's size. The one it loaded from the template is
    // forgotten once replaced, and is ours to free.
    const auto old = reinterpret_cast<HBITMAP>(
        SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled.get())));
    OwnedBitmap forgotten(old);
    m_bitmap = std::move(scaled);
}
