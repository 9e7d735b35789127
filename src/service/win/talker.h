// CTalker: one HTTP request to the update service through WinInet, and its
// reply. Each request opens its own Internet, connection and request handles
// and closes them before it returns; nothing WinInet owns outlives a request.
// Requests are synchronous: the status callback runs on the calling thread
// inside the WinInet calls and sends (never posts) the progress texts to the
// status window, so the caller waits until the window has shown them.
#pragma once

#include <string>

#include "platform/win/win.h"
// WinInet's declarations need windows.h first.
#include <wininet.h>

#include "service/talker.h"

namespace vnxml {

class CTalker final : public ITalker {
public:
    CTalker();
    ~CTalker() override = default;
    CTalker(const CTalker&) = delete;
    CTalker& operator=(const CTalker&) = delete;

    void SetStatusWindow(platform::WindowHandle window) override { statusWindow_ = window; }
    void SetAddress(const std::string& host, const std::string& path, bool secure) override;
    bool SetAddress(const std::string& url) override;
    const TalkAddress& Address() const override { return address_; }

    bool Request(bool interactive, const std::string& verb, std::string_view body, bool compress) override;
    bool RequestFile(bool interactive, const std::string& verb, const std::string& path, bool compress) override;

    uint32_t ErrorText(std::string& text, size_t size) const override;

    uint32_t HttpStatus() const override { return httpStatus_; }
    uint32_t Error() const override { return error_; }
    const std::string& StatusText() const override { return statusText_; }
    const std::string& ContentType() const override { return contentType_; }
    std::string_view Reply() const override { return reply_.View(); }

    // The flags the last request was opened with.
    uint32_t LastRequestFlags() const { return lastFlags_; }
    // True when the last request carried the compressed frame.
    bool LastRequestFramed() const { return lastFramed_; }

private:
    static void CALLBACK StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                                        DWORD infoLength);
    void OnStatus(DWORD status);
    void Reset();
    bool Fail(DWORD error);
    bool ReadReply(HINTERNET request);

    platform::WindowHandle statusWindow_ = nullptr;
    uint32_t statusMessage_;
    TalkAddress address_;
    DWORD addressError_ = 0;  // why the last URL could not be split
    uint32_t httpStatus_ = 0;
    uint32_t error_ = 0;
    bool overCap_ = false;
    std::string statusText_;
    std::string contentType_;
    ReplyBody reply_;
    uint32_t lastFlags_ = 0;
    bool lastFramed_ = false;
};

}  // namespace vnxml
