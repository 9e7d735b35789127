// Saves part of the screen as a PNG under build/screenshots (GDI+).
#pragma once

#include <string>
#include <vector>

#include "platform/win/win.h"

#include <objidl.h>

#include <gdiplus.h>

#include "registry_guard.h"

namespace testing_app {

// Saves the screen's rectangle as build/screenshots/<name>.png; false when it could not.
inline bool SaveScreenPng(const RECT& r, const std::string& name) {
    CreateDirectoryA(BuildPath("../screenshots").c_str(), nullptr);
    const std::string path = BuildPath("../screenshots/" + name + ".png");
    const std::wstring wide(path.begin(), path.end());
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
            for (UINT i = 0; i < count; ++i)
                if (std::wstring(encoders[i].MimeType) == L"image/png")
                    saved = image.Save(wide.c_str(), &encoders[i].Clsid, nullptr) == Gdiplus::Ok;
        }
        Gdiplus::GdiplusShutdown(token);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

}  // namespace testing_app
