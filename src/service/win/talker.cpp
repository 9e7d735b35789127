#include "service/win/talker.h"

#include <wininet.h>

#include <memory>
#include <new>
#include <optional>

#include "platform/log.h"
#include "platform/message_names.h"
#include "platform/text.h"
#include "platform/win/handles.h"
#include "service/frame.h"

namespace vnxml {
namespace {

struct InternetTraits {
    using Type = HINTERNET;
    static HINTERNET Invalid() { return nullptr; }
    static void Close(HINTERNET h) { ::InternetCloseHandle(h); }
};
using UniqueInternet = platform::UniqueHandleT<InternetTraits>;

struct ViewDeleter {
    void operator()(const void* view) const { ::UnmapViewOfFile(view); }
};

static_assert(kFlagNoCacheWrite == INTERNET_FLAG_NO_CACHE_WRITE, "request flag values");
static_assert(kFlagNoCookies == INTERNET_FLAG_NO_COOKIES, "request flag values");
static_assert(kFlagSecure == INTERNET_FLAG_SECURE, "request flag values");
static_assert(kSchemeHttp == INTERNET_SCHEME_HTTP && kSchemeHttps == INTERNET_SCHEME_HTTPS, "scheme numbers");

constexpr size_t kStatusTextBytes = 384;
constexpr size_t kContentTypeBytes = 260;
constexpr size_t kCrackBytes = kAddressPartMax + 1;

// A header of the reply as text, cut to fit a buffer of `bytes` bytes with its
// zero; empty when the reply does not carry it.
std::string QueryHeader(HINTERNET request, DWORD which, size_t bytes) {
    std::string value(4096, '\0');
    DWORD size = static_cast<DWORD>(value.size());
    if (!HttpQueryInfoA(request, which, &value[0], &size, nullptr)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::string();
        value.assign(size + 1, '\0');
        size = static_cast<DWORD>(value.size());
        if (!HttpQueryInfoA(request, which, &value[0], &size, nullptr)) return std::string();
    }
    value.resize(size < bytes ? size : bytes - 1);
    return value;
}

}  // namespace

CTalker::CTalker() : statusMessage_(platform::RegisterMessage(wmname::kTalkProgress)) {}

void CTalker::SetAddress(const std::string& host, const std::string& path, bool secure) {
    address_ = AddressFromParts(host, path, secure);
    addressError_ = 0;
}

bool CTalker::SetAddress(const std::string& url) {
    char host[kCrackBytes] = {}, user[kCrackBytes] = {}, password[kCrackBytes] = {}, path[kCrackBytes] = {},
         extra[kCrackBytes] = {};
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = kCrackBytes;
    parts.lpszUserName = user;
    parts.dwUserNameLength = kCrackBytes;
    parts.lpszPassword = password;
    parts.dwPasswordLength = kCrackBytes;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = kCrackBytes;
    // Giving the query a buffer of its own keeps it out of the path: the
    // query of a configured address is never sent.
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = kCrackBytes;
    address_ = TalkAddress{};
    if (!InternetCrackUrlA(url.c_str(), 0, ICU_DECODE, &parts)) {
        addressError_ = GetLastError();
        if (addressError_ == 0) addressError_ = ERROR_INTERNET_INVALID_URL;
        error_ = addressError_;
        return false;
    }
    addressError_ = 0;
    address_.scheme = parts.nScheme;
    address_.port = parts.nPort;
    address_.host.assign(host, parts.dwHostNameLength);
    address_.userName.assign(user, parts.dwUserNameLength);
    address_.password.assign(password, parts.dwPasswordLength);
    address_.path.assign(path, parts.dwUrlPathLength);
    address_.extra.assign(extra, parts.dwExtraInfoLength);
    return true;
}

void CTalker::Reset() {
    reply_.Clear();
    httpStatus_ = 0;
    error_ = 0;
    overCap_ = false;
    statusText_.clear();
    contentType_.clear();
    lastFlags_ = 0;
    lastFramed_ = false;
}

bool CTalker::Fail(DWORD error) {
    error_ = error;
    return false;
}

bool CTalker::RequestFile(bool interactive, const std::string& verb, const std::string& path, bool compress) {
    Reset();
    platform::UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return Fail(GetLastError());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return Fail(GetLastError());
    // A request body is sent in one piece of at most 4 GB.
    if (static_cast<unsigned long long>(size.QuadPart) > 0xFFFFFFFFull) return Fail(ERROR_FILE_TOO_LARGE);
    platform::UniqueHandle mapping(CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return Fail(GetLastError());
    std::unique_ptr<const void, ViewDeleter> view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return Fail(GetLastError());
    return Request(interactive, verb,
                   std::string_view(static_cast<const char*>(view.get()), static_cast<size_t>(size.QuadPart)),
                   compress);
}

bool CTalker::Request(bool interactive, const std::string& verb, std::string_view body, bool compress) {
    Reset();
    if (addressError_ != 0) return Fail(addressError_);
    if (body.size() > 0xFFFFFFFFull) return Fail(ERROR_FILE_TOO_LARGE);
    if (interactive) InternetAttemptConnect(0);

    UniqueInternet internet(InternetOpenA(kAgentName, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet) return Fail(GetLastError());
    const auto context = reinterpret_cast<DWORD_PTR>(this);
    UniqueInternet connection(InternetConnectA(
        internet.get(), address_.host.c_str(), address_.port,
        address_.userName.empty() ? nullptr : address_.userName.c_str(),
        address_.password.empty() ? nullptr : address_.password.c_str(), INTERNET_SERVICE_HTTP, 0, context));
    if (!connection) return Fail(GetLastError());
    DWORD timeout = kReceiveTimeoutMs;
    if (!InternetSetOptionA(connection.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout))
        return Fail(GetLastError());
    if (InternetSetStatusCallbackA(connection.get(), &CTalker::StatusCallback) == INTERNET_INVALID_STATUS_CALLBACK)
        return Fail(GetLastError());

    lastFlags_ = RequestFlags(address_.scheme);
    UniqueInternet request(HttpOpenRequestA(connection.get(), verb.c_str(), address_.path.c_str(), nullptr, nullptr,
                                            nullptr, lastFlags_, context));
    if (!request) return Fail(GetLastError());

    std::optional<std::string> frame;
    if (compress && !body.empty()) frame = PackFrame(body);
    lastFramed_ = frame.has_value();
    const std::string_view sent = frame ? std::string_view(*frame) : body;
    const char* headers = frame ? kCompressedRequestHeaders : nullptr;
    const DWORD headersLength = frame ? static_cast<DWORD>(-1) : 0;

    BOOL ok = FALSE;
    DWORD sendError = ERROR_SUCCESS;
    for (;;) {
        ok = HttpSendRequestA(request.get(), headers, headersLength, const_cast<char*>(sent.data()),
                              static_cast<DWORD>(sent.size()));
        sendError = ok ? ERROR_SUCCESS : GetLastError();
        if (!interactive) break;
        const DWORD answer = InternetErrorDlg(GetDesktopWindow(), request.get(), sendError,
                                              FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                                                  FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
                                              nullptr);
        if (answer != ERROR_INTERNET_FORCE_RETRY) break;
    }
    frame.reset();
    if (!ok && sendError != ERROR_SUCCESS) return Fail(sendError);

    if (!ReadReply(request.get())) return false;
    if (IsCompressedContentType(contentType_)) {
        // A reply that cannot be unpacked stays as it came; the parser then
        // gets to read it as it is.
        if (std::optional<std::string> unpacked = UnpackReply(reply_.View())) reply_.Assign(std::move(*unpacked));
    }
    return httpStatus_ < 400;
}

bool CTalker::ReadReply(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return Fail(GetLastError());
    // A connection closed before any status line can come back from
    // HttpSendRequest as a success with status 0: there is no reply.
    if (status < 100) return Fail(ERROR_HTTP_INVALID_SERVER_RESPONSE);
    httpStatus_ = status;
    statusText_ = QueryHeader(request, HTTP_QUERY_STATUS_TEXT, kStatusTextBytes);
    contentType_ = QueryHeader(request, HTTP_QUERY_CONTENT_TYPE, kContentTypeBytes);

    // A body that cannot be read in full is a failure of its own: the status
    // is dropped so that the failure is told by its error, not by the
    // status text of a reply that never arrived whole.
    const auto failRead = [this](DWORD error) {
        httpStatus_ = 0;
        reply_.Clear();
        return Fail(error);
    };
    for (;;) {
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0)) return failRead(GetLastError());
        if (available == 0) break;
        char* room = nullptr;
        try {
            room = reply_.Reserve(available);
        } catch (const std::bad_alloc&) {
            return failRead(ERROR_NOT_ENOUGH_MEMORY);
        }
        if (!room) {
            vnlog::Write(textutil::Format("The reply from %s exceeds %u bytes; the request is abandoned",
                                          address_.host.c_str(), static_cast<unsigned>(reply_.Cap())));
            overCap_ = true;
            return failRead(kErrorReplyTooLarge);
        }
        DWORD read = 0;
        if (!InternetReadFile(request, room, available, &read)) {
            const DWORD error = GetLastError();
            reply_.Commit(0);
            return failRead(error);
        }
        reply_.Commit(read);
        if (read == 0) break;
    }
    return true;
}

uint32_t CTalker::ErrorText(std::string& text, size_t size) const {
    const ErrorTextSource system = [this](uint32_t code) -> std::optional<std::string> {
        if (overCap_ && code == kErrorReplyTooLarge) return std::string(kReplyTooLargeText);
        return platform::SystemMessageText(code);
    };
    const ErrorTextSource wininet = [](uint32_t code) -> std::optional<std::string> {
        HMODULE module = GetModuleHandleA("WinInet.dll");
        if (!module) return std::nullopt;
        return platform::SystemMessageText(code, module);
    };
    return ChooseErrorText(httpStatus_, statusText_, error_, system, wininet, size, text);
}

void CALLBACK CTalker::StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
    // Nothing may leave a callback that WinInet calls.
    try {
        if (context) reinterpret_cast<CTalker*>(context)->OnStatus(status);
    } catch (...) {
        vnlog::Warning("CTalker::StatusCallback", true);
    }
}

void CTalker::OnStatus(DWORD status) {
    if (!statusWindow_) return;
    const char* text = TalkProgressText(status);
    if (!text) return;
    platform::Notifier().Send(statusWindow_, statusMessage_, status, reinterpret_cast<intptr_t>(text));
}

std::unique_ptr<ITalker> MakeDefaultTalker() { return std::make_unique<CTalker>(); }

uint32_t LastSystemError() { return GetLastError(); }

std::string SystemErrorText(uint32_t code) {
    return textutil::TrimRight(platform::SystemMessageText(code).value_or(std::string()));
}

}  // namespace vnxml
