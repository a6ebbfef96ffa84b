#pragma once
// Small owning types for GDI: every object the program creates is deleted, every
// selection undone and every device context released by a destructor.

#include <windows.h>

#include "framework/win32/handle.h"

// GDI objects the program created, deleted when their owner goes.
using OwnedFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using OwnedBrush = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using OwnedBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;

// Selects an object into a device context for the scope and puts the old one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(object ? SelectObject(dc, object) : nullptr) {}
    ~SelectedObject()
    {
        if (m_old)
            SelectObject(m_dc, m_old);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_dc;       // borrowed
    HGDIOBJ m_old;  // borrowed: whatever was selected before
};

// The device context of a window's client area (of the screen for a null window).
class WindowDC {
public:
    explicit WindowDC(HWND window) : m_window(window), m_dc(GetDC(window)) {}
    ~WindowDC()
    {
        if (m_dc)
            ReleaseDC(m_window, m_dc);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC get() const { return m_dc; }

private:
    HWND m_window;  // borrowed
    HDC m_dc;       // owned until released
};

// BeginPaint for the scope, EndPaint at its end.
class PaintDC {
public:
    explicit PaintDC(HWND window) : m_window(window) { m_dc = BeginPaint(window, &m_paint); }
    ~PaintDC() { EndPaint(m_window, &m_paint); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;

    HDC get() const { return m_dc; }

private:
    HWND m_window;  // borrowed
    PAINTSTRUCT m_paint{};
    HDC m_dc = nullptr;
};

// Sets the text and background colours and the background mode for the scope.
class TextColours {
public:
    TextColours(HDC dc, COLORREF text, COLORREF background, int backgroundMode)
        : m_dc(dc),
          m_oldText(SetTextColor(dc, text)),
          m_oldBackground(SetBkColor(dc, background)),
          m_oldMode(SetBkMode(dc, backgroundMode))
    {
    }
    ~TextColours()
    {
        SetTextColor(m_dc, m_oldText);
        SetBkColor(m_dc, m_oldBackground);
        SetBkMode(m_dc, m_oldMode);
    }
    TextColours(const TextColours&) = delete;
    TextColours& operator=(const TextColours&) = delete;

private:
    HDC m_dc;  // borrowed
    COLORREF m_oldText;
    COLORREF m_oldBackground;
    int m_oldMode;
};
