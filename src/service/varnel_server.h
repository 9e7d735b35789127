// vnxml::CVarnelServer: one exchange with the update service's scan service.
// The request document is written to "submit.xml" in the data folder and sent
// with one POST through a talker (service/talker.h), framed and compressed;
// the reply body goes to the caller's reply handler. There is no retry, no
// redirect handling of our own and no cancellation of a request in flight:
// a stop is noticed before the request and after the reply.
//
// Failures reach the user-interface thread as posted texts (engine/post_safe.h):
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

namespace platform {
class Settings;
}

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

    // The whole exchange: writes the document to RequestFilePath() (text
    // mode, created or truncated) and posts it. True exactly when Post
    // answered 0. The file stays in the data folder afterwards.
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
    bool StopRequested() const { return stopRequested_ && stopRequested_(); }
    StopPredicate stopRequested_;
};

}  // namespace vnxml
