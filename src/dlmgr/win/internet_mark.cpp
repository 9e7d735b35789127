#include "dlmgr/win/internet_mark.h"

#include "platform/win/com.h"
// (after windows.h)
#include <shobjidl.h>

#include "dlmgr/zone_identifier.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"

namespace dlmgr {
namespace {

// Ours: the attachment services keep per-client settings under it.
constexpr GUID kAttachmentClient = {0x88463b15, 0xa0a8, 0x4e9c, {0x98, 0x3a, 0x10, 0xb9, 0xe5, 0x87, 0x22, 0xef}};

std::string HresultCode(HRESULT hr) { return textutil::Format("0x%08lX", static_cast<unsigned long>(hr)); }

// Through IAttachmentExecute; the empty text on success, else what failed.
std::string SaveThroughAttachmentServices(const std::string& path, const std::string& url) {
    platform::ComInit com;
    if (!com.ok()) return "COM could not be initialised (" + HresultCode(com.result()) + ")";
    platform::ComPtr<IAttachmentExecute> services;
    HRESULT hr = CoCreateInstance(CLSID_AttachmentServices, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(services.GetAddressOf()));
    if (FAILED(hr)) return "no attachment services (" + HresultCode(hr) + ")";
    const std::wstring source = platform::Widen(url);
    const std::wstring local = platform::Widen(path);
    if (FAILED(hr = services->SetClientGuid(kAttachmentClient))) return "SetClientGuid " + HresultCode(hr);
    if (FAILED(hr = services->SetSource(source.c_str()))) return "SetSource " + HresultCode(hr);
    if (FAILED(hr = services->SetLocalPath(local.c_str()))) return "SetLocalPath " + HresultCode(hr);
    if (FAILED(hr = services->Save())) return "Save " + HresultCode(hr);
    return std::string();
}

// The stream beside the file's data; 0 when written, else the error.
DWORD WriteZoneStream(const std::string& path, const std::string& url) {
    const std::string text = ZoneIdentifierText(url);
    platform::UniqueFile stream(CreateFileA((path + ":Zone.Identifier").c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!stream) return GetLastError();
    DWORD written = 0;
    if (!WriteFile(stream.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        return GetLastError();
    return written == text.size() ? 0 : ERROR_WRITE_FAULT;
}

}  // namespace

InternetMarkResult MarkFromInternet(const std::string& path, const std::string& url) {
    InternetMarkResult result;
    try {
        if (!platform::FileExists(path)) {
            result.how = InternetMark::kFileGone;
            return result;
        }
        result.detail = SaveThroughAttachmentServices(path, url);
        if (result.detail.empty()) {
            result.how = InternetMark::kAttachmentServices;
            return result;
        }
        // A scan that found the file bad may have removed it: writing the
        // stream would only leave an empty file in its place.
        if (!platform::FileExists(path)) {
            result.how = InternetMark::kFileGone;
            return result;
        }
        if (const DWORD error = WriteZoneStream(path, url)) {
            result.how = InternetMark::kFailed;
            result.detail += "; the Zone.Identifier stream could not be written (error " + std::to_string(error) + ")";
        } else {
            result.how = InternetMark::kZoneStream;
        }
    } catch (...) {
        result.how = InternetMark::kFailed;
        result.detail = "an exception";
    }
    return result;
}

std::string DescribeInternetMark(const std::string& path, const InternetMarkResult& result) {
    switch (result.how) {
        case InternetMark::kAttachmentServices:
            return "Marked " + path + " as downloaded from the internet (attachment services)";
        case InternetMark::kZoneStream:
            return "Marked " + path + " as downloaded from the internet (Zone.Identifier stream; " + result.detail +
                   ")";
        case InternetMark::kFileGone: return "*** " + path + " is gone after its download; it is not marked";
        case InternetMark::kFailed: break;
    }
    return "*** Could not mark " + path + " as downloaded from the internet: " + result.detail;
}

}  // namespace dlmgr
