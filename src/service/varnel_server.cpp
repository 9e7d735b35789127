#include "service/varnel_server.h"

#include <memory>

#include "engine/post_safe.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "platform/text.h"
#include "service/talker.h"

namespace vnxml {
namespace {

// What a failure is reported as when its code would read as success (0) or
// as a stop (1): ERROR_INTERNET_INTERNAL_ERROR.
constexpr int kErrorInternal = 12004;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

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

std::string CVarnelServer::RequestFilePath() { return platform::DataFolder() + "\\" + kRequestFileName; }

bool CVarnelServer::Send(const DocumentWriter& writeDocument, platform::WindowHandle progressWindow,
                         const ReplyHandler& onReply) {
    const std::string path = RequestFilePath();
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(platform::NativePath(path).c_str(), "w"));
    if (!file) {
        const uint32_t error = LastSystemError();
        engine::PostSafeMessage(kServerBusyTextId);
        engine::PostSafeMessage(SystemErrorText(error));
        return false;
    }
    bool written = writeDocument && writeDocument(file.get());
    if (std::fflush(file.get()) != 0 || std::ferror(file.get())) written = false;
    if (std::fclose(file.release()) != 0) written = false;
    if (!written) return false;
    return Post(progressWindow, path, onReply) == kPostSucceeded;
}

int CVarnelServer::Post(platform::WindowHandle progressWindow, const std::string& requestFile,
                        const ReplyHandler& onReply) {
    std::unique_ptr<ITalker> talker = MakeTalker();
    if (StopRequested()) return kPostAborted;
    if (progressWindow) talker->SetStatusWindow(progressWindow);

    const ScanServiceAddress address = ReadScanServiceAddress(platform::AppSettings());
    if (address.url) talker->SetAddress(*address.url);  // a URL that cannot be split fails the request
    else talker->SetAddress(address.host, address.path, address.secure);

    if (talker->RequestFile(false, "POST", requestFile, true)) {
        if (StopRequested()) return kPostAborted;
        if (onReply) onReply(talker->Reply());
        return kPostSucceeded;
    }

    std::string text;
    const uint32_t code = talker->ErrorText(text, kErrorTextBytes);
    engine::PostSafeMessage(StripLineBreaks(text));
    if (code == kErrorCannotConnect) engine::PostSafeMessage(kServerBusyTextId);
    const int result = static_cast<int>(code);
    return result == kPostSucceeded || result == kPostAborted ? kErrorInternal : result;
}

}  // namespace vnxml
