#pragma once
// Small owning types for GDI: every object the program creates is deleted, every
// selection undone and every device context released by a destructor.

#include <windows.h>

#include <utility>

// Owns a GDI object (font, brush, pen, bitmap) and deletes it. Move-only.
template <class Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : m_handle(handle) {}
    ~GdiObject() { reset(); }
    GdiObject(GdiObject&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_handle, nullptr));
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Handle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void reset(Handle handle = nullptr)
    {
        if (m_handle)
            DeleteObject(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = nullptr;
};

using OwnedFont = GdiObject<HFONT>;
using OwnedBrush = GdiObject<HBRUSH>;
using OwnedBitmap = GdiObject<HBITMAP>;

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
