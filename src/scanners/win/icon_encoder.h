// A program's icons as PNG images in Base64, as the scan document sends them
// when the service asks for an item's icon. One encoder serves one program:
// it holds the program's first large and first small icon and a GDI+ session
// for its lifetime.
//
// The PNG image passes through one fixed temporary file (the data folder +
// "\ztempimages.png"), so two encoders must not encode at the same time; the
// program encodes only on the scan thread.
#pragma once

#include <string>
#include <string_view>

#include "platform/win/handles.h"
#include "platform/win/win.h"
#include "scanners/file_identity.h"

namespace fileid {

enum class IconSize { Large, Small };

class VN_IconEncoder {
public:
    // Takes the program's first large and first small icon (either may be
    // missing), starts GDI+ and measures both icons. The temporary image goes
    // to `tempFolder` + "\ztempimages.png"; the first form uses IconTempFolder().
    explicit VN_IconEncoder(const std::string& path);
    VN_IconEncoder(const std::string& path, const std::string& tempFolder);
    ~VN_IconEncoder();
    VN_IconEncoder(const VN_IconEncoder&) = delete;
    VN_IconEncoder& operator=(const VN_IconEncoder&) = delete;

    bool HasIcon(IconSize size) const { return Icon(size) != nullptr; }
    // "%d" of the icon's width and height (0 when it is missing).
    std::string Width(IconSize size) const;
    std::string Height(IconSize size) const;
    // The image is always drawn as 32 bits on an opaque white background.
    std::string PixelDepth(IconSize) const { return "32"; }
    std::string HasAlpha(IconSize) const { return "false"; }

    // The icon drawn on white, saved as PNG and encoded in Base64 without line
    // breaks; empty when the icon is missing or anything fails.
    std::string PngBase64(IconSize size);
    // The sizes and the PNG text together, for IconElement.
    IconText Describe(IconSize size);

    const std::string& TempFilePath() const { return tempPath_; }

private:
    HICON Icon(IconSize size) const { return (size == IconSize::Large ? large_ : small_).get(); }
    std::string Encode(IconSize size);

    platform::UniqueIcon large_;
    platform::UniqueIcon small_;
    int largeWidth_ = 0, largeHeight_ = 0;
    int smallWidth_ = 0, smallHeight_ = 0;
    ULONG_PTR gdiplusToken_ = 0;
    bool gdiplusStarted_ = false;
    std::string tempPath_;
};

// The folder of the temporary image: the data folder.
std::string IconTempFolder();

// The icon elements of a program for the scan document: the large icon's
// element, then the small icon's; an icon that is missing has no element.
std::string IconElements(std::string_view productId, const std::string& path);

}  // namespace fileid
