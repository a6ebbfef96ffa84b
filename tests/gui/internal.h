#pragma once
// What the driver's own files share and the scenarios do not see: driver.h leaves this
// header out.

#include <windows.h>

#include <cstdint>
#include <string>

#include "basics.h"
#include "screen.h"

namespace gui {

// Moves the mouse to a point of the screen and waits until the cursor is there (basics.cpp).
void moveCursor(POINT screen);

// Whether a tooltip that shows covers part of a screen rectangle (tooltips.cpp).
bool tooltipOver(const RECT& screen);
// Moves the mouse off any tooltip over part of a screen rectangle, and waits until it
// has gone (tooltips.cpp).
void clearTooltips(const RECT& screen);

// The text of a message box (reports.cpp).
std::string boxText(HWND box);

// A top-down 32-bit bitmap selected into a memory DC (screen.cpp, and reports.cpp for icons).
class Canvas {
public:
    Canvas(int width, int height) : m_width(width), m_height(height)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &m_bits, nullptr, 0);
        if (!m_dc || !m_bitmap)
            throw DriverError("cannot create a bitmap");
        m_old = SelectObject(m_dc, m_bitmap);
    }
    ~Canvas()
    {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    HDC dc() const { return m_dc; }
    Pixels pixels() const
    {
        GdiFlush();
        Pixels p;
        p.width = m_width;
        p.height = m_height;
        const auto* bits = static_cast<const std::uint32_t*>(m_bits);
        p.rgb.assign(bits, bits + m_width * m_height);
        for (auto& v : p.rgb)
            v &= 0xFFFFFF;
        return p;
    }

private:
    int m_width, m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    void* m_bits = nullptr;
};

}  // namespace gui
