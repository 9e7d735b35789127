#include "app/about_dialog.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "platform/files.h"
#include "platform/log.h"
#include "platform/string_table.h"
#include "platform/win/modeless.h"
#include "platform/win/own_windows.h"
#include "resource.h"

namespace app {
namespace {

constexpr int kVersionFormatId = 341;  // "Version %d.%d.%d (Build %d)"
constexpr int kImageX = 8;
constexpr int kImageY = 12;

HWND g_about = nullptr;  // the one about box (user-interface thread only)
DecodedImage g_image;    // decoded once

struct ReadState {
    const unsigned char* data;
    size_t size;
    size_t at;
};

void ReadBytes(png_structp png, png_bytep out, png_size_t count) {
    ReadState* state = static_cast<ReadState*>(png_get_io_ptr(png));
    if (count > state->size - state->at) png_error(png, "truncated image");
    std::memcpy(out, state->data + state->at, count);
    state->at += count;
}

void DrawImage(HDC dc) {
    if (g_image.pixels.empty()) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = g_image.width;
    info.bmiHeader.biHeight = -g_image.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return;
    std::memcpy(bits, g_image.pixels.data(), g_image.pixels.size() * sizeof(uint32_t));
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, kImageX, kImageY, g_image.width, g_image.height, memory, 0, 0, g_image.width, g_image.height, blend);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
}

void LoadImageResource(HINSTANCE instance) {
    if (!g_image.pixels.empty()) return;
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(IDB_ABOUT_IMAGE), "PNG");
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || !DecodePng(data, SizeofResource(instance, found), g_image))
        vnlog::Write("The about box's image could not be read");
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, CAboutDlg::VersionText(platform::ProgramPath()).c_str());
            platform::CentreOnOwnerOrScreen(dialog);
            platform::ShowOnTaskbar(dialog, GetModuleHandleA(nullptr), IDR_MAINFRAME);
            return TRUE;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(dialog, &paint);
            DrawImage(dc);
            EndPaint(dialog, &paint);
            return TRUE;
        }
        default: {
            INT_PTR result = FALSE;
            platform::HandleModelessClose(dialog, message, wParam, g_about, result);
            return result;
        }
    }
}

}  // namespace

bool DecodePng(const void* data, size_t size, DecodedImage& image) {
    if (size < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    ReadState state{static_cast<const unsigned char*>(data), size, 0};
    DecodedImage decoded;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &state, &ReadBytes);
    png_read_info(png, info);
    // Every kind of PNG becomes 8-bit BGRA.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    decoded.width = static_cast<int>(png_get_image_width(png, info));
    decoded.height = static_cast<int>(png_get_image_height(png, info));
    if (decoded.width <= 0 || decoded.height <= 0 || decoded.width > 4096 || decoded.height > 4096 ||
        png_get_rowbytes(png, info) != static_cast<size_t>(decoded.width) * 4)
        png_error(png, "unexpected image size");
    decoded.pixels.resize(static_cast<size_t>(decoded.width) * decoded.height);
    rows.resize(decoded.height);
    for (int y = 0; y < decoded.height; ++y)
        rows[y] = reinterpret_cast<png_bytep>(decoded.pixels.data() + static_cast<size_t>(y) * decoded.width);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    // Premultiply for AlphaBlend.
    for (uint32_t& p : decoded.pixels) {
        const uint32_t a = p >> 24;
        const uint32_t b = (p & 0xFF) * a / 255, g = ((p >> 8) & 0xFF) * a / 255, r = ((p >> 16) & 0xFF) * a / 255;
        p = (a << 24) | (r << 16) | (g << 8) | b;
    }
    image = std::move(decoded);
    return true;
}

std::string CAboutDlg::VersionText(const std::string& programFile) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(programFile.c_str(), &ignored);
    if (!size) return std::string();
    std::vector<char> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(programFile.c_str(), 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed)
        return std::string();
    char text[128] = {};
    std::snprintf(text, sizeof text, platform::LoadText(kVersionFormatId).c_str(),
                  static_cast<int>(HIWORD(fixed->dwFileVersionMS)), static_cast<int>(LOWORD(fixed->dwFileVersionMS)),
                  static_cast<int>(HIWORD(fixed->dwFileVersionLS)), static_cast<int>(LOWORD(fixed->dwFileVersionLS)));
    return text;
}

HWND CAboutDlg::Window() { return g_about; }

void CAboutDlg::Close() {
    if (g_about) DestroyWindow(g_about);
}

void CAboutDlg::Show(HINSTANCE instance, HWND owner) {
    if (g_about) {
        SetForegroundWindow(g_about);
        return;
    }
    LoadImageResource(instance);
    g_about = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_ABOUT), owner, &AboutProc, 0);
    if (!g_about) return;
    platform::RegisterModeless(g_about, platform::ModelessKind::Dialog);
    ShowWindow(g_about, SW_SHOWNORMAL);
    SetForegroundWindow(g_about);
}

}  // namespace app
