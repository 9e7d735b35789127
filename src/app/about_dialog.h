// CAboutDlg: the about box (dialog 100), one at a time and centred on its
// owner: string 341 filled with the four parts of the program file's
// version, the maker's rights notice, and PNG resource 248 drawn at (8, 12).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win/win.h"

namespace app {

// A decoded image: 32-bit pixels, premultiplied BGRA rows top down, as
// AlphaBlend wants them.
struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// Decodes a PNG file's bytes with libpng; false (and nothing) for bad data.
bool DecodePng(const void* data, size_t size, DecodedImage& image);

class CAboutDlg {
public:
    static void Show(HINSTANCE instance, HWND owner);
    static HWND Window();
    static void Close();
    // String 341 with the four version words of `programFile`; empty when
    // the file has no version resource.
    static std::string VersionText(const std::string& programFile);
};

}  // namespace app
