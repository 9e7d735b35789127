#include "service/varnel_server.h"

#include <chrono>
#include <memory>
#include <mutex>

#include "inventory/driver_data.h"
#include "inventory/watch_list.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/post_safe.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "platform/text.h"
#include "service/exclusion_update.h"
#include "service/reply_parser.h"
#include "service/talker.h"
#include "service/watch_list_link.h"

namespace vnxml {
namespace {

// What a failure is reported as when its code would read as success (0) or
// as a stop (1): ERROR_INTERNET_INTERNAL_ERROR.
constexpr int kErrorInternal = 12004;
// Its text: the system's text for code 0 or 1 would tell the user the request
// worked ("The operation completed successfully.").
constexpr const char kErrorInternalText[] = "The request to the update service failed without a reason.";

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Every exchange writes the one request file, and the transport reads it while
// it posts: the scan worker's exchanges and an account contact on its own
// thread take it in turn.
std::timed_mutex& RequestFileMutex() {
    static std::timed_mutex mutex;
    return mutex;
}

// Whether `reply` is a whole document of the update service: well-formed to
// its end, with a status code. It is read into a buffer of its own that holds
// no list, so nothing is applied.
bool IsWholeServiceReply(std::string_view reply, uint8_t mode) {
    CXMLBuffer probe(nullptr, nullptr, mode);
    CXMLSwParser parser(probe);
    return parser.ParseBuffer(reply.data(), reply.size()) == platform::SaxResult::Complete &&
           !probe.status.code.empty();
}

}  // namespace

ScanServiceAddress ReadScanServiceAddress(const platform::Settings& settings) {
    ScanServiceAddress address;
    // A value stored empty counts as not set, as "EMPTY" does.
    const std::string link =
        textutil::Trim(settings.ReadText(setting::kClientLinkUrl, setting::kClientLinkUrlDefaultId));
    if (!link.empty() && link != platform::LoadText(setting::kClientLinkUrlDefaultId)) {
        address.url = link;
        return address;
    }
    address.host = settings.ReadText(setting::kXmlServerName, setting::kXmlServerNameDefaultId);
    address.path = settings.ReadText(setting::kXmlUrlName, setting::kXmlUrlNameDefaultId);
    address.secure = settings.ReadFlag(setting::kUseSsl, setting::kUseSslDefault);
    return address;
}

CVarnelServer::CVarnelServer(VN_WatchList* watchList, Views::CDriverData* driverList)
    : watchList_(watchList), driverList_(driverList) {
    if (watchList) stopRequested_ = [watchList] { return watchList->IsStopRequested(); };
}

std::string CVarnelServer::RequestFilePath() { return platform::DataFolder() + "\\" + kRequestFileName; }

bool CVarnelServer::WriteAndPost(const DocumentWriter& writeDocument,
                                 const std::function<int(const std::string&)>& post) {
    std::unique_lock<std::timed_mutex> turn(RequestFileMutex(), std::defer_lock);
    while (!turn.try_lock_for(std::chrono::milliseconds(100)))
        if (stopRequested_ && stopRequested_()) return false;
    const std::string path = RequestFilePath();
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(platform::NativePath(path).c_str(), "w"));
    if (!file) {
        const uint32_t error = LastSystemError();
        platform::PostSafeMessage(kServerBusyTextId);
        platform::PostSafeMessage(SystemErrorText(error));
        return false;
    }
    bool written = writeDocument && writeDocument(file.get());
    if (std::fflush(file.get()) != 0 || std::ferror(file.get())) written = false;
    if (std::fclose(file.release()) != 0) written = false;
    if (!written) return false;
    return post(path) == kPostSucceeded;
}

bool CVarnelServer::Send(const DocumentWriter& writeDocument, platform::WindowHandle progressWindow,
                         const ReplyHandler& onReply) {
    return WriteAndPost(writeDocument,
                        [&](const std::string& path) { return Post(progressWindow, path, onReply); });
}

bool CVarnelServer::Send(CXMLBuffer& buffer, platform::WindowHandle progressWindow) {
    // WriteDocument answers true for a document it could not finish.
    return WriteAndPost([&buffer](std::FILE* file) { return !buffer.WriteDocument(file); },
                        [&](const std::string& path) { return Post(buffer, progressWindow, path); });
}

int CVarnelServer::Post(platform::WindowHandle progressWindow, const std::string& requestFile,
                        const ReplyHandler& onReply) {
    return PostFile(progressWindow, requestFile, onReply, stopRequested_);
}

int CVarnelServer::Post(CXMLBuffer& buffer, platform::WindowHandle progressWindow, const std::string& requestFile) {
    StopPredicate stop = stopRequested_;
    if (!stop && buffer.watchList) {
        const VN_ListBaseSync* list = buffer.watchList;
        stop = [list] { return list->IsStopRequested(); };
    }
    return PostFile(
        progressWindow, requestFile, [&](std::string_view reply) { ProcessReply(buffer, reply); }, stop);
}

void CVarnelServer::ProcessReply(CXMLBuffer& buffer, std::string_view reply) {
    if (reply.empty()) return;
    if (buffer.mode == kCheckRequest) {
        // A check reply reports every item afresh, so the out-of-date marks
        // are cleared before it is applied. A proxy's or a captive portal's
        // page, or a reply cut short, would clear them with nothing to set
        // them again: such a reply changes no item, and the check fails.
        if (!IsWholeServiceReply(reply, buffer.mode)) {
            vnlog::WriteRaw("*** The check reply is not a whole update service document: no item was changed");
            buffer.status = CXMLStatus();
            buffer.status.message = platform::LoadText(319);
            return;
        }
    }
    {
        // The reply changes the items the window shows: not while it reads them.
        inventory::ContentLock::Write watchHold(buffer.watchList ? &buffer.watchList->ItemLock() : nullptr);
        inventory::ContentLock::Write driverHold(buffer.driverList ? &buffer.driverList->ItemLock() : nullptr);
        if (buffer.mode == kCheckRequest) buffer.PrepareForReply();
        CXMLSwParser parser(buffer);
        parser.ParseBuffer(reply.data(), reply.size());
    }
    const CXMLStatus& status = buffer.status;
    if (status.IsSuccess() && !status.setMachineId.empty())
        platform::AppSettings().WriteTextTo(platform::ISettingsStore::Hive::User, setting::kMachineId,
                                            status.setMachineId);
    if (VN_WatchList* owner = ExclusionOwner(buffer)) UpdateExclusionList(status, reply, *owner);
}

VN_WatchList* CVarnelServer::ExclusionOwner(const CXMLBuffer& buffer) const {
    if (watchList_) return watchList_;
    return dynamic_cast<VN_WatchList*>(buffer.watchList);
}

bool CVarnelServer::SendAuthentication(CXMLAuthentication& authentication, CXMLStatus& status,
                                       platform::WindowHandle progressWindow, const AuthenticationRequest& request) {
    const bool withLists = request.withLists;
    CXMLBuffer buffer(withLists ? watchList_ : nullptr, withLists ? driverList_ : nullptr, request.mode);
    std::unique_ptr<CWatchListLink> link;
    if (withLists && watchList_) {
        link = std::make_unique<CWatchListLink>(*watchList_);
        buffer.watchListLink = link.get();
    }
    buffer.authentication = authentication;
    buffer.checkIntervalSeconds = request.checkIntervalSeconds;
    buffer.profile.nextScheduledScan = request.nextScheduledScan;
    const bool sent = Send(buffer, progressWindow);
    authentication = buffer.authentication;
    status = buffer.status;
    return sent;
}

int CVarnelServer::PostFile(platform::WindowHandle progressWindow, const std::string& requestFile,
                            const ReplyHandler& onReply, const StopPredicate& stopRequested) {
    const auto stopped = [&stopRequested] { return stopRequested && stopRequested(); };
    std::unique_ptr<ITalker> talker = MakeTalker();
    if (stopped()) return kPostAborted;
    if (progressWindow) talker->SetStatusWindow(progressWindow);

    const ScanServiceAddress address = ReadScanServiceAddress(platform::AppSettings());
    if (address.url) talker->SetAddress(*address.url);  // a URL that cannot be split fails the request
    else talker->SetAddress(address.host, address.path, address.secure);

    if (talker->RequestFile(false, "POST", requestFile, true)) {
        if (stopped()) return kPostAborted;
        if (onReply) onReply(talker->Reply());
        return kPostSucceeded;
    }

    std::string text;
    const uint32_t code = talker->ErrorText(text, kErrorTextBytes);
    const int result = static_cast<int>(code);
    if (result == kPostSucceeded || result == kPostAborted) {
        platform::PostSafeMessage(kErrorInternalText);
        return kErrorInternal;
    }
    platform::PostSafeMessage(StripLineBreaks(text));
    if (code == kErrorCannotConnect) platform::PostSafeMessage(kServerBusyTextId);
    return result;
}

}  // namespace vnxml
