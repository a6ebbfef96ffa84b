#pragma once
// The screen's DPI. The program is system aware: the DPI it starts with holds for its
// whole life, so it is read once. Lengths the program draws itself are given at 96 DPI
// and scaled with it, unchanged at 96.

#include <windows.h>

#include "framework/win32/gdi.h"

inline int ScreenDpi()
{
    static const int dpi = [] {
        WindowDC screen(nullptr);
        const int pixels = GetDeviceCaps(screen.get(), LOGPIXELSY);
        return pixels > 0 ? pixels : 96;
    }();
    return dpi;
}

// A length of pixels96 pixels at 96 DPI, on this screen.
inline int ScaleToScreen(int pixels96) { return MulDiv(pixels96, ScreenDpi(), 96); }
