#include "scanners/win/icon_encoder.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

// The GDI+ headers need the COM declarations that WIN32_LEAN_AND_MEAN leaves
// out, and use min and max unqualified.
#include <objidl.h>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "platform/folders.h"
#include "platform/log.h"
#include "platform/text.h"
#include "platform/win/com.h"
#include "platform/win/wide.h"
#include "scanners/base64.h"
#include "scanners/win/remote_data.h"

namespace fileid {

namespace {

constexpr char kTempImageName[] = "\\ztempimages.png";
// A PNG of one icon is a few kilobytes; anything beyond this is not ours.
constexpr uint64_t kMaxImageBytes = 16u << 20;

void MeasureIcon(HICON icon, int& width, int& height) {
    width = height = 0;
    if (!icon) return;
    std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromHICON(icon));
    if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok) return;
    width = static_cast<int>(bitmap->GetWidth());
    height = static_cast<int>(bitmap->GetHeight());
}

// The encoder whose file-name extensions ("*.PNG", "*.JPG;*.JPEG;...") include
// the extension of `path`.
bool EncoderForPath(const std::string& path, CLSID* clsid) {
    const std::string extension = textutil::ExtensionOf(path);
    if (extension.empty()) return false;
    const std::string pattern = "*." + extension;
    UINT count = 0, bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || count == 0 || bytes == 0) return false;
    std::unique_ptr<std::max_align_t[]> buffer(
        new (std::nothrow) std::max_align_t[(bytes + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t)]);
    if (!buffer) return false;
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (!codecs[i].FilenameExtension) continue;
        const std::string extensions = platform::Narrow(codecs[i].FilenameExtension);
        size_t at = 0;
        while (at <= extensions.size()) {
            size_t end = extensions.find(';', at);
            if (end == std::string::npos) end = extensions.size();
            if (textutil::EqualsNoCase(textutil::Trim(extensions.substr(at, end - at)), pattern)) {
                *clsid = codecs[i].Clsid;
                return true;
            }
            at = end + 1;
        }
    }
    return false;
}

// The whole file through a stream, its size from the stream's status.
bool ReadThroughStream(const std::string& path, std::string& bytes) {
    platform::ComPtr<IStream> stream;
    if (FAILED(::SHCreateStreamOnFileW(platform::Widen(path).c_str(), STGM_READ | STGM_SHARE_DENY_WRITE,
                                       stream.GetAddressOf())))
        return false;
    STATSTG status = {};
    if (FAILED(stream->Stat(&status, STATFLAG_NONAME))) return false;
    const uint64_t size = status.cbSize.QuadPart;
    if (size == 0 || size > kMaxImageBytes) return false;
    bytes.resize(static_cast<size_t>(size));
    size_t at = 0;
    while (at < bytes.size()) {
        ULONG got = 0;
        const HRESULT hr = stream->Read(&bytes[at], static_cast<ULONG>(bytes.size() - at), &got);
        if (FAILED(hr) || got == 0) return false;
        at += got;
    }
    return true;
}

}  // namespace

std::string IconTempFolder() { return platform::DataFolder(); }

VN_IconEncoder::VN_IconEncoder(const std::string& path) : VN_IconEncoder(path, IconTempFolder()) {}

VN_IconEncoder::VN_IconEncoder(const std::string& path, const std::string& tempFolder) {
    std::string folder = tempFolder;
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    tempPath_ = folder + kTempImageName;

    if (!path.empty()) {
        // The handles count only when the call says it extracted icons: on a
        // file without icons some systems leave other values in them, which
        // must never reach DestroyIcon.
        // An uninstall entry's icon names its file as "path,index", often
        // quoted or with environment variables in it.
        const IconLocation where = ParseIconLocation(path);
        std::wstring file = platform::Widen(where.path);
        if (file.find(L'%') != std::wstring::npos) {
            const DWORD needed = ::ExpandEnvironmentStringsW(file.c_str(), nullptr, 0);
            std::wstring expanded(needed, L'\0');
            if (needed != 0 && ::ExpandEnvironmentStringsW(file.c_str(), &expanded[0], needed) == needed) {
                expanded.resize(needed - 1);
                file = std::move(expanded);
            }
        }
        // A file whose data is elsewhere would be downloaded for its icons.
        HICON large = nullptr, small = nullptr;
        const UINT extracted =
            IsDataElsewhere(file) ? 0 : ::ExtractIconExW(file.c_str(), where.index, &large, &small, 1);
        if (extracted != 0 && extracted != UINT_MAX) {
            large_.reset(large);
            small_.reset(small);
        }
    }

    Gdiplus::GdiplusStartupInput input;
    gdiplusStarted_ = Gdiplus::GdiplusStartup(&gdiplusToken_, &input, nullptr) == Gdiplus::Ok;
    if (gdiplusStarted_) {
        MeasureIcon(large_.get(), largeWidth_, largeHeight_);
        MeasureIcon(small_.get(), smallWidth_, smallHeight_);
    }
}

VN_IconEncoder::~VN_IconEncoder() {
    // The icons go after GDI+ has been shut down.
    if (gdiplusStarted_) Gdiplus::GdiplusShutdown(gdiplusToken_);
}

std::string VN_IconEncoder::Width(IconSize size) const {
    return textutil::Format("%d", size == IconSize::Large ? largeWidth_ : smallWidth_);
}

std::string VN_IconEncoder::Height(IconSize size) const {
    return textutil::Format("%d", size == IconSize::Large ? largeHeight_ : smallHeight_);
}

std::string VN_IconEncoder::PngBase64(IconSize size) {
    try {
        return Encode(size);
    } catch (const std::exception&) {
        vnlog::Warning("ExeIconToBase64");
    } catch (...) {
        vnlog::Warning("ExeIconToBase64", true);
    }
    return std::string();
}

std::string VN_IconEncoder::Encode(IconSize size) {
    const HICON icon = Icon(size);
    const int width = size == IconSize::Large ? largeWidth_ : smallWidth_;
    const int height = size == IconSize::Large ? largeHeight_ : smallHeight_;
    if (!icon || !gdiplusStarted_ || width <= 0 || height <= 0) return std::string();

    CLSID encoder;
    if (!EncoderForPath(tempPath_, &encoder)) return std::string();
    {
        // Opaque white under the icon: the service shows the image without a mask.
        Gdiplus::Bitmap canvas(width, height, PixelFormat32bppRGB);
        if (canvas.GetLastStatus() != Gdiplus::Ok) return std::string();
        {
            Gdiplus::Graphics graphics(&canvas);
            if (graphics.GetLastStatus() != Gdiplus::Ok) return std::string();
            graphics.Clear(Gdiplus::Color(255, 255, 255, 255));
            const HDC dc = graphics.GetHDC();
            if (!dc) return std::string();
            const BOOL drawn = ::DrawIconEx(dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
            graphics.ReleaseHDC(dc);
            if (!drawn) return std::string();
        }
        if (canvas.Save(platform::Widen(tempPath_).c_str(), &encoder, nullptr) != Gdiplus::Ok) return std::string();
    }
    std::string png;
    if (!ReadThroughStream(tempPath_, png)) return std::string();
    return Base64Encode(png);
}

IconText VN_IconEncoder::Describe(IconSize size) {
    IconText text;
    text.width = Width(size);
    text.height = Height(size);
    text.pixelDepth = PixelDepth(size);
    text.hasAlpha = HasAlpha(size);
    text.base64 = PngBase64(size);
    return text;
}

std::string IconElements(std::string_view productId, const std::string& path) {
    VN_IconEncoder encoder(path);
    std::string out = IconElement(productId, encoder.Describe(IconSize::Large));
    out += IconElement(productId, encoder.Describe(IconSize::Small));
    return out;
}

}  // namespace fileid
