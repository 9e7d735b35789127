// vnxml::CVarnelServer: one exchange with the update service's scan service.
// The request document is written to "submit.xml" in the data folder and sent
// with one POST through a talker (service/talker.h), framed and compressed.
// The reply is read into the exchange's CXMLBuffer (reply_parser.h), which
// applies it to the lists; a machine identifier the service issues is stored
// as "Machine ID", and a newer exclusion list in the reply replaces
// "exclusions.xml" (exclusion_update.h). There is no retry, no redirect
// handling of our own and no cancellation of a request in flight: a stop is
// noticed before the request and after the reply.
//
// Failures reach the user-interface thread as posted texts (platform/post_safe.h):
//   request file cannot be created   string 319, then the system's text of the error
//   WinInet failure                  its text without line breaks; for 12029 also string 319
//   HTTP status 400 or more          the status text
// Nothing is posted for an abort or for a document the writer could not write.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/notifier.h"
#include "service/xml_buffer.h"

namespace platform {
class Settings;
}
namespace Views {
class CDriverData;
}
class VN_WatchList;

namespace vnxml {

inline constexpr char kRequestFileName[] = "submit.xml";
// "The server was busy and could not check for updates."
inline constexpr int kServerBusyTextId = 319;
// ERROR_INTERNET_CANNOT_CONNECT: the service could not be reached at all.
inline constexpr uint32_t kErrorCannotConnect = 12029;
// The size of the buffer a failure's text is read into.
inline constexpr size_t kErrorTextBytes = 260;

// Where the scan service is, as the settings say: "ClientLink URL" when it
// is set and not "EMPTY" (then `url` holds it), else "XMLServerName",
// "XMLUrlName" and "Use SSL".
struct ScanServiceAddress {
    std::optional<std::string> url;
    std::string host;
    std::string path;
    bool secure = true;
};
ScanServiceAddress ReadScanServiceAddress(const platform::Settings& settings);

class CVarnelServer {
public:
    // True when the run has been asked to stop (the watch list's stop event).
    using StopPredicate = std::function<bool()>;
    // Receives the reply body of a successful request (possibly empty).
    using ReplyHandler = std::function<void(std::string_view reply)>;
    // Writes the request document into the open file; false when it could
    // not (a file error, or the run was stopped).
    using DocumentWriter = std::function<bool(std::FILE* file)>;

    static constexpr int kPostSucceeded = 0;
    static constexpr int kPostAborted = 1;

    explicit CVarnelServer(StopPredicate stopRequested = {}) : stopRequested_(std::move(stopRequested)) {}
    // An exchange of the program's lists: the watch list's stop event ends
    // it, a newer exclusion list from the service replaces the watch list's,
    // and SendAuthentication writes its request over both lists. Not owned;
    // either may be null.
    CVarnelServer(VN_WatchList* watchList, Views::CDriverData* driverList);

    // The whole exchange of a buffer: writes its document to
    // RequestFilePath() and posts it (see Post). True exactly when Post
    // answered 0. A document that could not be written (a file error, or a
    // stop during the item loop) is not sent. Throws CVnException when the
    // reply parser's reader cannot be created.
    bool Send(CXMLBuffer& buffer, platform::WindowHandle progressWindow);

    // Posts the request file and processes the reply into the buffer:
    //   - an empty reply changes nothing;
    //   - before a check reply the watch list's update flags are cleared;
    //   - the reply is parsed into the buffer (status, authentication, note,
    //     every update record applied to the buffer's lists);
    //   - with status code "0" a non-empty `set-machine-id` is stored as
    //     "Machine ID";
    //   - the exclusion-list update (exclusion_update.h) over the server's
    //     watch list, or else the buffer's when it is the program's watch list.
    // The stop predicate, or else the buffer's watch list's stop event, ends
    // the exchange before the request and after the reply. Answers as the
    // Post below: 0, 1 for a stop, or the failure's code.
    int Post(CXMLBuffer& buffer, platform::WindowHandle progressWindow, const std::string& requestFile);

    // What the caller decides about an authentication exchange.
    struct AuthenticationRequest {
        uint8_t mode = kPreScanRequest;
        // The request carries the server's lists; the program sends them only
        // while it has a main window to show them in.
        bool withLists = false;
        uint32_t checkIntervalSeconds = 0;  // see CXMLBuffer::checkIntervalSeconds
        int64_t nextScheduledScan = 0;      // seconds since 1970, 0 for none
    };

    // An exchange for the caller's authentication (the account contact uses
    // mode 0): a buffer in the request's mode, over the server's lists when
    // the request says so (over no lists otherwise), gets the authentication
    // and a system profile carrying the next scheduled scan; after Send the
    // buffer's authentication is copied back into `authentication` and its
    // status into `status`. The answer is Send's.
    bool SendAuthentication(CXMLAuthentication& authentication, CXMLStatus& status,
                            platform::WindowHandle progressWindow, const AuthenticationRequest& request);

    // What the reply processing of Post does with a successful reply; for
    // callers that hold a reply already.
    void ProcessReply(CXMLBuffer& buffer, std::string_view reply);

    // The lower layer: writes a document with the caller's writer to
    // RequestFilePath() (text mode, created or truncated) and posts it with
    // the reply going to onReply. True exactly when Post answered 0. The
    // file stays in the data folder afterwards.
    bool Send(const DocumentWriter& writeDocument, platform::WindowHandle progressWindow, const ReplyHandler& onReply);

    // Posts the request file to the scan service (compressed) and hands the
    // reply to onReply. 0 on success, 1 when the run was stopped before the
    // request or after the reply, otherwise the HTTP status or the Windows
    // error code of the failure. progressWindow (or null) receives
    // "WM_Varnel10_TalkProgress" while the request runs.
    int Post(platform::WindowHandle progressWindow, const std::string& requestFile, const ReplyHandler& onReply);

    // Data Folder + "\submit.xml".
    static std::string RequestFilePath();

private:
    // Writes the document and hands the request file to `post`.
    bool WriteAndPost(const DocumentWriter& writeDocument, const std::function<int(const std::string&)>& post);
    int PostFile(platform::WindowHandle progressWindow, const std::string& requestFile, const ReplyHandler& onReply,
                 const StopPredicate& stopRequested);
    // The watch list whose exclusions a reply replaces.
    VN_WatchList* ExclusionOwner(const CXMLBuffer& buffer) const;

    StopPredicate stopRequested_;
    VN_WatchList* watchList_ = nullptr;
    Views::CDriverData* driverList_ = nullptr;
};

}  // namespace vnxml
