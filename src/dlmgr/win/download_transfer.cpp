#include "dlmgr/win/download_transfer.h"

#include <wininet.h>

#include "dlmgr/download_display.h"
#include "dlmgr/self_update_rules.h"
#include "dlmgr/win/internet_mark.h"
#include "dlmgr/win/trust_check.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/text.h"
#include "platform/text_block.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"
#include "scanners/win/file_md5.h"

namespace dlmgr {
namespace {

constexpr ULONG kCacheFileNameAvailable = 14;  // BINDSTATUS_CACHEFILENAMEAVAILABLE

std::string ErrorText(DWORD code) {
    return platform::SystemMessageText(code, nullptr).value_or("Error " + std::to_string(code));
}

std::string HresultText(HRESULT hr) {
    char code[16];
    wsprintfA(code, "0x%08lX", static_cast<unsigned long>(hr));
    const auto text = platform::SystemMessageText(static_cast<DWORD>(hr), nullptr);
    return std::string("Download failed (") + code + ")" + (text ? ": " + *text : "");
}

// The folder for downloads whose address urlmon will not put in its cache.
std::string PrivateCacheFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    std::string folder = platform::AnsiPath(temp) + "Varnel Downloads";
    platform::CreateDirectories(folder);
    return folder;
}

void RemovePrivateCopy(const std::string& path) {
    if (path.empty() || !platform::FileExists(path)) return;
    if (!DeleteFileA(path.c_str()))
        vnlog::Write("*** The temporary download " + path + " could not be removed: " + ErrorText(GetLastError()));
}

// Where the address leads after its redirects (at most five), asked without
// following them; the address itself when it does not redirect or cannot
// be asked.
std::string ResolveRedirects(const std::string& url) {
    HINTERNET session = InternetOpenA("Varnel", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session) return url;
    std::string current = url;
    for (int hop = 0; hop < 5; ++hop) {
        HINTERNET request =
            InternetOpenUrlA(session, current.c_str(), nullptr, 0,
                             INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD, 0);
        if (!request) break;
        DWORD status = 0, size = sizeof status;
        char location[2048] = {};
        DWORD length = sizeof location;
        const bool moved =
            HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) &&
            status >= 300 && status < 400 && HttpQueryInfoA(request, HTTP_QUERY_LOCATION, location, &length, nullptr);
        InternetCloseHandle(request);
        if (!moved) break;
        char combined[2048] = {};
        DWORD combinedLength = sizeof combined;
        if (!InternetCombineUrlA(current.c_str(), location, combined, &combinedLength, ICU_NO_ENCODE)) break;
        const std::string next = combined;
        const std::string scheme = textutil::ToLowerAscii(next.substr(0, next.find(':')));
        if (scheme != "http" && scheme != "https") break;
        current = next;
    }
    InternetCloseHandle(session);
    return current;
}

// Failure of the download call: stopped when asked to, else failed.
int32_t FailedState(CDownloadItem& item) {
    if (item.Abort.exchange(false)) return kStateStopped;
    return kStateFailed;
}

// The copy step of an ordinary download.
void CopyToDownloadFolder(TransferOutcome& out) {
    if (out.cacheFile.empty()) {
        out.message = "Download source file name is empty.";
        out.state = kStateCopyFailed;
        return;
    }
    out.folder = platform::DownloadFolder();
    const std::string name = DownloadFileName(out.cacheFile);
    if (name.empty()) {
        out.message = "The downloaded file has no usable name.";
        out.state = kStateCopyFailed;
        return;
    }
    out.destination = out.folder + "\\" + name;
    if (platform::FileExists(out.destination) && platform::FileExists(out.cacheFile)) {
        const std::string a = fileid::CFileMd5(out.cacheFile).Digest();
        const std::string b = fileid::CFileMd5(out.destination).Digest();
        if (!a.empty() && textutil::EqualsNoCase(a, b)) {
            out.state = kStateCompleted;
            return;
        }
    }
    if (CopyFileA(out.cacheFile.c_str(), out.destination.c_str(), FALSE)) {
        out.state = kStateSuccessful;
    } else {
        out.message = ErrorText(GetLastError());
        out.state = kStateCopyFailed;
    }
}

void RunOrdinary(CDownloadItem& item, const TransferTarget& target, TransferOutcome& out) {
    CDownloadCallback callback(&item, target.progressed);
    char cache[MAX_PATH] = {};
    HRESULT hr = URLDownloadToCacheFileA(nullptr, item.Url.c_str(), cache, MAX_PATH, 0, &callback);
    DWORD httpStatus = callback.HttpStatus();
    bool refused = FAILED(hr) && !callback.AnyProgress();
    // Some urlmon builds refuse to cache an address whose path has no
    // extension, before sending anything. The catalogue's download links
    // are such addresses and redirect to the file: follow the redirects and
    // fetch the file they lead to.
    const std::string resolved = refused && !item.Abort ? ResolveRedirects(item.Url) : item.Url;
    if (refused && !item.Abort && resolved != item.Url) {
        CDownloadCallback redirected(&item, target.progressed);
        hr = URLDownloadToCacheFileA(nullptr, resolved.c_str(), cache, MAX_PATH, 0, &redirected);
        httpStatus = redirected.HttpStatus();
        refused = FAILED(hr) && !redirected.AnyProgress();
    }
    // Our own temporary copy, when there is one: removed once copied to the
    // download folder, and when the transfer stops or fails (a partial file
    // or an error page).
    std::string privateCopy;
    if (refused && !item.Abort) {
        // Still refused: fetch the file into a folder of our own instead,
        // named as the address names it.
        privateCopy = PrivateCacheFolder() + "\\" + UpdateFileName(resolved).value_or("download");
        CDownloadCallback direct(&item, target.progressed);
        hr = URLDownloadToFileA(nullptr, resolved.c_str(), privateCopy.c_str(), 0, &direct);
        httpStatus = direct.HttpStatus();
        lstrcpynA(cache, privateCopy.c_str(), MAX_PATH);
        if (SUCCEEDED(hr)) vnlog::Write("Downloaded " + item.Url + " outside the browser cache");
    }
    if (SUCCEEDED(hr) && httpStatus >= 400) hr = INET_E_DOWNLOAD_FAILURE;
    if (FAILED(hr)) {
        out.state = FailedState(item);
        out.message = httpStatus >= 400 ? "HTTP status " + std::to_string(httpStatus) : HresultText(hr);
        RemovePrivateCopy(privateCopy);
        return;
    }
    out.cacheFile = cache;
    CopyToDownloadFolder(out);
    if (out.state != kStateSuccessful && out.state != kStateCompleted) return;
    RemovePrivateCopy(privateCopy);
    // Windows asks before running it and scans it as a file from the
    // internet. A mark that cannot be left does not undo the download.
    const InternetMarkResult mark = MarkFromInternet(out.destination, resolved);
    vnlog::Write(DescribeInternetMark(out.destination, mark));
    if (mark.how == InternetMark::kFileGone) {
        out.state = kStateCopyFailed;
        out.message = "The downloaded file was removed after its download.";
    }
}

void RunProgramUpdate(CDownloadItem& item, const TransferTarget& target, TransferOutcome& out) {
    const auto name = UpdateFileName(item.Url);
    if (!name) {
        out.state = kStateFailed;
        out.message = "The update's address names no usable file.";
        vnlog::Write("Refused the update address " + item.Url + ": no usable file name");
        return;
    }
    out.folder = platform::UpgradeFolder();
    platform::CreateDirectories(out.folder);
    out.destination = out.folder + "\\" + *name;
    out.cacheFile = out.destination;
    CDownloadCallback callback(&item, target.progressed);
    HRESULT hr = URLDownloadToFileA(nullptr, item.Url.c_str(), out.destination.c_str(), 0, &callback);
    if (SUCCEEDED(hr) && callback.HttpStatus() >= 400) hr = INET_E_DOWNLOAD_FAILURE;
    if (SUCCEEDED(hr)) {
        // Held from before the checks until the installer has started.
        CHeldFile held = CHeldFile::Open(out.destination);
        if (held && VerifyTrust(out.destination) && VerifySigner(out.destination)) {
            out.state = kStateSuccessful;
            if (target.heldUpdate) *target.heldUpdate = std::move(held);
            return;
        }
        vnlog::Write("The downloaded update " + out.destination + " failed its trust check; it is not used");
        out.message = "The update failed its trust check.";
        item.Abort = true;
        hr = E_ABORT;
    }
    out.state = FailedState(item);
    if (out.message.empty())
        out.message =
            callback.HttpStatus() >= 400 ? "HTTP status " + std::to_string(callback.HttpStatus()) : HresultText(hr);
}

}  // namespace

STDMETHODIMP CDownloadCallback::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBindStatusCallback)) {
        *object = static_cast<IBindStatusCallback*>(this);
        return S_OK;
    }
    if (IsEqualIID(riid, IID_IHttpNegotiate)) {
        *object = static_cast<IHttpNegotiate*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP CDownloadCallback::OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode, LPCWSTR statusText) {
    if (!item_) return E_FAIL;
    if (item_->Abort || httpStatus_ >= 400) return E_ABORT;
    if (statusCode == kCacheFileNameAvailable)
        item_->SetLiveCacheFile(statusText ? platform::Narrow(statusText) : std::string());
    item_->Received = progressMax == 0 ? 0 : progress;
    item_->Total = progressMax;
    if (progress > 0) anyProgress_ = true;
    if (progressed_) progressed_();
    return S_OK;
}

STDMETHODIMP CDownloadCallback::BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders) {
    if (additionalHeaders) *additionalHeaders = nullptr;
    return S_OK;
}

STDMETHODIMP CDownloadCallback::OnResponse(DWORD status, LPCWSTR, LPCWSTR, LPWSTR* additionalHeaders) {
    if (additionalHeaders) *additionalHeaders = nullptr;
    httpStatus_ = status;
    anyProgress_ = true;
    return S_OK;
}

void RunTransfer(CDownloadItem& item, const TransferTarget& target) {
    TransferOutcome out;
    try {
        if (item.Abort.exchange(false)) {
            out.state = kStateStopped;
        } else if (item.Kind == kKindProgramUpdate) {
            RunProgramUpdate(item, target, out);
        } else {
            RunOrdinary(item, target, out);
        }
    } catch (const std::exception&) {
        vnlog::Write("Caught an exception in DownloadProc(LPVOID)");
        out.state = item.State;
    } catch (...) {
        vnlog::Write("Caught an exception in DownloadProc(LPVOID) in catch all block.");
        out.state = item.State;
    }
    const int32_t state = out.state;
    const std::string path = out.destination;
    item.outcome = std::move(out);
    if (item.Kind == kKindProgramUpdate) {
        const uintptr_t block = platform::MakeTextBlock(path);
        if (!PostMessageA(target.window, target.upgradeEndMessage, static_cast<WPARAM>(state),
                          static_cast<LPARAM>(block)))
            platform::FreeTextBlock(block);
    } else {
        PostMessageA(target.window, target.itemEndMessage, static_cast<WPARAM>(state), 0);
    }
}

}  // namespace dlmgr
