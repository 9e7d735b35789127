// The talker: one HTTP request to the update service and its reply. The
// Windows talker (service/win/talker.h) does the work through WinInet; this
// header holds what every talker shares and what can be decided without
// WinInet: the address parts, the request flags, the extra headers of a
// framed body, the progress texts, the reply buffer with its size cap, the
// unpacking of a framed reply, and the rule that picks a failure's text.
//
// The exchange (CVarnelServer) creates its talker through MakeTalker(), so
// tests can put a talker of their own in its place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/notifier.h"

namespace vnxml {

// WinInet's scheme numbers.
inline constexpr int kSchemeHttp = 3;
inline constexpr int kSchemeHttps = 4;
inline constexpr uint16_t kPortHttp = 80;
inline constexpr uint16_t kPortHttps = 443;

// Every text part of an address holds at most this many bytes (WinInet's
// cracking buffers are one byte larger, for the terminating zero).
inline constexpr size_t kAddressPartMax = 383;

// Where a request goes. `extra` (the query of a URL) is kept but never sent.
struct TalkAddress {
    std::string host;
    int scheme = kSchemeHttps;
    uint16_t port = kPortHttps;
    std::string userName;
    std::string password;
    std::string path;
    std::string extra;
};

// Host and path with no user name or password: HTTPS on port 443 when
// secure, else HTTP on port 80.
TalkAddress AddressFromParts(const std::string& host, const std::string& path, bool secure);

// The WinInet request flags (the values of INTERNET_FLAG_NO_CACHE_WRITE,
// INTERNET_FLAG_NO_COOKIES and INTERNET_FLAG_SECURE): replies are never
// cached and cookies never sent or kept; HTTPS adds the secure flag.
inline constexpr uint32_t kFlagNoCacheWrite = 0x04000000u;
inline constexpr uint32_t kFlagNoCookies = 0x00080000u;
inline constexpr uint32_t kFlagSecure = 0x00800000u;
uint32_t RequestFlags(int scheme);

// The agent name the requests carry.
inline constexpr char kAgentName[] = "VarnelTalker";
// The receive time-out of a connection, in milliseconds.
inline constexpr uint32_t kReceiveTimeoutMs = 120000;

// The extra headers sent with a framed body. The service has always received
// the Accept line ending in the four characters "/r/n" (slash, r, slash, n)
// rather than a line break, so it is kept exactly so.
inline constexpr char kCompressedRequestHeaders[] =
    "Content-type: text/xml-compressed\r\nAccept: text/plain, text/xml-compressed/r/n";

// The text shown for a WinInet status code while a request runs (codes 10,
// 11, 20, 21, 30, 31, 40, 41, 50 and 51), or null for any other code.
const char* TalkProgressText(uint32_t statusCode);

// True when a reply's Content-Type says it is framed: the type, lower-cased,
// contains "compressed".
bool IsCompressedContentType(std::string_view contentType);

// The body of a framed reply, or nothing when it cannot be unpacked (the
// caller then keeps the reply as received). The frame's own checksum is not
// relied on; the zlib stream carries its own.
std::optional<std::string> UnpackReply(std::string_view reply);

// The largest reply body a request accepts. A reply that grows past it fails
// the request instead of taking the agent's memory.
inline constexpr size_t kReplyMaxBytes = 64u * 1024u * 1024u;
// The error code and text of a request whose reply was larger than that
// (the code is Windows' ERROR_FILE_TOO_LARGE).
inline constexpr uint32_t kErrorReplyTooLarge = 223;
extern const char kReplyTooLargeText[];

// A reply body read in pieces, always followed by a zero byte, bounded by a
// cap. Append refuses (and leaves the body as it was) a piece that would take
// the body past the cap.
class ReplyBody {
public:
    explicit ReplyBody(size_t cap = kReplyMaxBytes) : cap_(cap) {}

    // Room for `more` bytes after the current body, or null when the body
    // would exceed the cap. Throws std::bad_alloc when memory runs out.
    char* Reserve(size_t more);
    // Records that `count` of the reserved bytes were filled.
    void Commit(size_t count);
    bool Append(std::string_view piece);

    void Clear() { data_.clear(); }
    void Assign(std::string body) { data_ = std::move(body); }
    bool Empty() const { return data_.empty(); }
    size_t Size() const { return data_.size(); }
    const char* Data() const { return data_.c_str(); }  // zero-terminated
    std::string_view View() const { return data_; }
    size_t Cap() const { return cap_; }

private:
    std::string data_;
    size_t reserved_ = 0;
    size_t cap_;
};

// The ErrorText rule. When an HTTP status was received (non-zero) the text is
// the status text and the answer the status; otherwise the text of the
// error code from the first source that has one (systemText, then
// moduleText), else "The operation failed, error code %d", and the answer is
// the error code. The text is cut to fit a buffer of `size` bytes with its
// terminating zero (so at most size - 1 bytes).
using ErrorTextSource = std::function<std::optional<std::string>(uint32_t code)>;
uint32_t ChooseErrorText(uint32_t httpStatus, std::string_view statusText, uint32_t error,
                         const ErrorTextSource& systemText, const ErrorTextSource& moduleText, size_t size,
                         std::string& text);

// The text with every carriage return and line feed removed.
std::string StripLineBreaks(std::string_view text);

// One HTTP request and its reply.
class ITalker {
public:
    virtual ~ITalker() = default;

    // The window that receives "WM_Varnel10_TalkProgress" while a request
    // runs (sent, not posted); null for none.
    virtual void SetStatusWindow(platform::WindowHandle window) = 0;
    virtual void SetAddress(const std::string& host, const std::string& path, bool secure) = 0;
    // Splits a URL into the address parts, decoding escapes; the query part
    // goes to `extra`. False (with the error recorded) when the URL cannot be
    // split; a request then fails.
    virtual bool SetAddress(const std::string& url) = 0;
    virtual const TalkAddress& Address() const = 0;

    // Sends the body with the verb and reads the reply. With compress and a
    // body that is not empty, the body travels in the compressed frame. True
    // when every step worked and the HTTP status is below 400.
    virtual bool Request(bool interactive, const std::string& verb, std::string_view body, bool compress) = 0;
    // The same with the contents of a file as the body.
    virtual bool RequestFile(bool interactive, const std::string& verb, const std::string& path, bool compress) = 0;

    // The failure's text (cut to `size` bytes with the zero) and its code:
    // the HTTP status or the Windows error code.
    virtual uint32_t ErrorText(std::string& text, size_t size) const = 0;

    virtual uint32_t HttpStatus() const = 0;  // 0 when no reply was received
    virtual uint32_t Error() const = 0;       // the last Windows error code
    virtual const std::string& StatusText() const = 0;
    virtual const std::string& ContentType() const = 0;
    virtual std::string_view Reply() const = 0;  // followed by a zero byte in memory
};

// A new talker: the platform's (WinInet on Windows; on the host one that
// fails every request, there being no WinInet) unless a factory was installed.
std::unique_ptr<ITalker> MakeTalker();
std::unique_ptr<ITalker> MakeDefaultTalker();
using TalkerFactory = std::function<std::unique_ptr<ITalker>()>;
// Replaces the factory (an empty one restores the platform's) and returns the one it
// replaced. For tests.
TalkerFactory InstallTalkerFactory(TalkerFactory factory);

// The last error code of the calling thread (GetLastError on Windows, errno
// on the host) and the system's text for an error code (empty when it has none).
uint32_t LastSystemError();
std::string SystemErrorText(uint32_t code);

}  // namespace vnxml
