// Device contexts and what is selected into them, given back in reverse
// order by destructors, whatever the drawing in between does.
#pragma once

#include <windows.h>

namespace dusk::backend {

// The screen's device context, for making bitmaps that suit it.
class ScreenContext final {
public:
    ScreenContext() : dc_(::GetDC(nullptr)) {}
    ~ScreenContext() { ::ReleaseDC(nullptr, dc_); }
    ScreenContext(const ScreenContext&) = delete;
    ScreenContext& operator=(const ScreenContext&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// A window's WM_PAINT, from BeginPaint to EndPaint.
class Painting final {
public:
    explicit Painting(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
    ~Painting() { ::EndPaint(window_, &paint_); }
    Painting(const Painting&) = delete;
    Painting& operator=(const Painting&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// A pen, brush or font selected into a device context while this lives.
class Selection final {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~Selection() { ::SelectObject(dc_, previous_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace dusk::backend
