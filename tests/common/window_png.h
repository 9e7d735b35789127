// Saves what a window (or a part of the screen) shows as a PNG (GDI+), for the tests
// that render a window and leave its picture in build/screenshots/.
#pragma once

// GDI+ needs min/max and the full headers.
#include <algorithm>
using std::max;
using std::min;
#include "platform/win/win.h"

#include <objidl.h>
// (after objidl.h)
#include <gdiplus.h>

#include <string>
#include <vector>

namespace testing_support {

// Saves the screen's rectangle `r` as a PNG; false when it could not.
inline bool SaveScreenRectPng(const RECT& r, const std::wstring& path) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    bool saved = false;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (copied && Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) {
        {
            UINT count = 0, size = 0;
            Gdiplus::GetImageEncodersSize(&count, &size);
            std::vector<BYTE> buffer(size);
            auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
            Gdiplus::GetImageEncoders(count, size, encoders);
            Gdiplus::Bitmap image(bitmap, nullptr);
            for (UINT i = 0; i < count; ++i) {
                if (std::wstring(encoders[i].MimeType) == L"image/png")
                    saved = image.Save(path.c_str(), &encoders[i].Clsid, nullptr) == Gdiplus::Ok;
            }
        }
        Gdiplus::GdiplusShutdown(token);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

// Saves what the window shows as a PNG; false when it could not.
inline bool SaveWindowPng(HWND window, const std::wstring& path) {
    RECT r{};
    GetWindowRect(window, &r);
    // From the screen, as the user sees it (Wine's PrintWindow leaves the
    // controls out).
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // Wine copies a window's drawing to the display a little later: let it.
    for (int i = 0; i < 10; ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(30);
    }
    return SaveScreenRectPng(r, path);
}

}  // namespace testing_support
