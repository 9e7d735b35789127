// The icon encoder on a program built with a generated two-image icon (a red
// 32x32 and a blue 16x16 square in a transparent border) and on programs
// without icons. The PNG images are decoded without GDI+ (png_decode.h).
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "fixtures.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/win/wide.h"
#include "platform/win/win.h"
#include "png_decode.h"
#include "scanners/win/icon_encoder.h"
#include "scanners/win/remote_data.h"

#include <shellapi.h>

using namespace fileid;

namespace {

class IconEncoderWin : public ::testing::Test {
protected:
    void SetUp() override { platform::AppSettings().WriteText(setting::kDataFolder, folder_.str()); }
    testing_support::TempFolder folder_{"varnel-icons"};
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
};

// The image drawn on white: white corners (the icon's border is transparent)
// and the icon's colour in the middle.
void ExpectDrawnOnWhite(const std::string& base64, uint32_t side, uint32_t centre) {
    ASSERT_FALSE(base64.empty());
    EXPECT_EQ(base64.find_first_of("\r\n"), std::string::npos);
    const std::string png = DecodeBase64(base64);
    ASSERT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    const DecodedPng image = DecodePng(png);
    ASSERT_TRUE(image.ok) << image.error;
    EXPECT_EQ(image.width, side);
    EXPECT_EQ(image.height, side);
    for (uint32_t corner : {image.Pixel(0, 0), image.Pixel(side - 1, 0), image.Pixel(0, side - 1),
                            image.Pixel(side - 1, side - 1)}) {
        EXPECT_EQ(corner, 0xFFFFFFFFu) << std::hex << corner;
    }
    EXPECT_EQ(image.Pixel(side / 2, side / 2), centre) << std::hex << image.Pixel(side / 2, side / 2);
}

// The centre pixel of an icon's own colour image (0xRRGGBBAA), read with GDI:
// what the encoded image must show there.
uint32_t IconCentre(HICON icon) {
    ICONINFO info = {};
    if (!::GetIconInfo(icon, &info)) return 0;
    BITMAP bitmap = {};
    ::GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = bitmap.bmWidth;
    header.bmiHeader.biHeight = -bitmap.bmHeight;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    std::vector<uint32_t> pixels(static_cast<size_t>(bitmap.bmWidth) * bitmap.bmHeight);
    const HDC screen = ::GetDC(nullptr);
    ::GetDIBits(screen, info.hbmColor, 0, bitmap.bmHeight, pixels.data(), &header, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    const uint32_t argb = pixels[(bitmap.bmHeight / 2) * bitmap.bmWidth + bitmap.bmWidth / 2];
    return (argb & 0x00FFFFFFu) << 8 | 0xFF;
}

}  // namespace

TEST_F(IconEncoderWin, EncodesBothIconsAsPngOnWhite) {
    VN_IconEncoder encoder(FixturePath("with_icon.exe"));
    ASSERT_TRUE(encoder.HasIcon(IconSize::Large));
    ASSERT_TRUE(encoder.HasIcon(IconSize::Small));
    EXPECT_EQ(encoder.Width(IconSize::Large), "32");
    EXPECT_EQ(encoder.Height(IconSize::Large), "32");
    EXPECT_EQ(encoder.Width(IconSize::Small), "16");
    EXPECT_EQ(encoder.Height(IconSize::Small), "16");
    EXPECT_EQ(encoder.PixelDepth(IconSize::Large), "32");
    EXPECT_EQ(encoder.HasAlpha(IconSize::Small), "false");

    ExpectDrawnOnWhite(encoder.PngBase64(IconSize::Large), 32, 0xFF0000FFu);
    // The small icon is the file's 16x16 image on Windows; Wine scales the large
    // one down. Either way the encoded centre is the small icon's own colour.
    HICON large = nullptr, small = nullptr;
    ASSERT_EQ(::ExtractIconExW(platform::Widen(FixturePath("with_icon.exe")).c_str(), 0, &large, &small, 1), 2u);
    const uint32_t smallCentre = IconCentre(small);
    ::DestroyIcon(large);
    ::DestroyIcon(small);
    EXPECT_TRUE(smallCentre == 0x0000FFFFu || smallCentre == 0xFF0000FFu) << std::hex << smallCentre;
    ExpectDrawnOnWhite(encoder.PngBase64(IconSize::Small), 16, smallCentre);
    // The image went through the fixed temporary file in the data folder.
    EXPECT_EQ(encoder.TempFilePath(), folder_.str() + "\\ztempimages.png");
    EXPECT_TRUE(std::filesystem::exists(folder_.path() / "ztempimages.png"));
}

TEST_F(IconEncoderWin, AnUninstallEntrysIconLocationNamesTheSameIcons) {
    const std::string plain = IconElements("P-17", FixturePath("with_icon.exe"));
    ASSERT_FALSE(plain.empty());
    SetEnvironmentVariableA("VARNEL_FIXTURES", FixturePath("").c_str());
    for (const std::string& location :
         {"\"" + FixturePath("with_icon.exe") + "\",0", FixturePath("with_icon.exe") + ", 0",
          std::string("%VARNEL_FIXTURES%with_icon.exe,0")})
        EXPECT_EQ(IconElements("P-17", location), plain) << location;
    SetEnvironmentVariableA("VARNEL_FIXTURES", nullptr);
    EXPECT_EQ(IconElements("P-17", FixturePath("with_icon.exe") + ",1"), "") << "the file has one icon";

    // A file whose data is elsewhere would be downloaded for its icons.
    const ScopedExtraAttributes placeholder(platform::Widen(FixturePath("with_icon.exe")),
                                            kAttributeRecallOnDataAccess);
    EXPECT_EQ(IconElements("P-17", FixturePath("with_icon.exe")), "");
}

TEST_F(IconEncoderWin, IconElementsLargeFirst) {
    const std::string elements = IconElements("P-17", FixturePath("with_icon.exe"));
    const std::string large = "<icon productID=\"P-17\" width=\"32\" height=\"32\" pixelDepth=\"32\" "
                              "hasAlpha=\"false\" format=\"PNG\" encoding=\"Base64\">";
    const std::string small = "<icon productID=\"P-17\" width=\"16\" height=\"16\" pixelDepth=\"32\" "
                              "hasAlpha=\"false\" format=\"PNG\" encoding=\"Base64\">";
    ASSERT_EQ(elements.compare(0, large.size(), large), 0) << elements.substr(0, 200);
    const size_t end = elements.find("</icon>\n");
    ASSERT_NE(end, std::string::npos);
    const std::string second = elements.substr(end + 8);
    ASSERT_EQ(second.compare(0, small.size(), small), 0) << second.substr(0, 200);
    ASSERT_GE(second.size(), 8u);
    EXPECT_EQ(second.substr(second.size() - 8), "</icon>\n");
    const std::string base64 = second.substr(small.size(), second.size() - small.size() - 8);
    EXPECT_EQ(DecodePng(DecodeBase64(base64)).width, 16u);
}

TEST_F(IconEncoderWin, ProgramsWithoutIconsGiveNothing) {
    for (const char* file : {"no_version.exe", "several_tables.exe", "missing.exe"}) {
        VN_IconEncoder encoder(FixturePath(file));
        EXPECT_FALSE(encoder.HasIcon(IconSize::Large)) << file;
        EXPECT_FALSE(encoder.HasIcon(IconSize::Small)) << file;
        EXPECT_EQ(encoder.PngBase64(IconSize::Large), "") << file;
        EXPECT_EQ(encoder.Width(IconSize::Large), "0") << file;
        EXPECT_EQ(IconElements("P-17", FixturePath(file)), "") << file;
    }
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "ztempimages.png"));
}
