#include "service/talker.h"

#include <mutex>
#include <utility>

#include "platform/text.h"
#include "service/frame.h"

namespace vnxml {

TalkAddress AddressFromParts(const std::string& host, const std::string& path, bool secure) {
    TalkAddress address;
    address.host = host.substr(0, kAddressPartMax);
    address.path = path.substr(0, kAddressPartMax);
    address.scheme = secure ? kSchemeHttps : kSchemeHttp;
    address.port = secure ? kPortHttps : kPortHttp;
    return address;
}

uint32_t RequestFlags(int scheme) {
    uint32_t flags = kFlagNoCacheWrite | kFlagNoCookies;
    if (scheme == kSchemeHttps) flags |= kFlagSecure;
    return flags;
}

const char* TalkProgressText(uint32_t statusCode) {
    switch (statusCode) {
        case 10: return "Locating internet host.";
        case 11: return "Internet host located.";
        case 20: return "Contacting Internet host.";
        case 21: return "Internet host contacted.";
        case 30: return "Sending request to Internet host.";
        case 31: return "Request sent to Internet host, waiting for reply.";
        case 40: return "Awaiting reply from Internet host.";
        case 41: return "Received reply from Internet host.";
        case 50: return "Closing connection to Internet host.";
        case 51: return "Closed connection to Internet host.";
        default: return nullptr;
    }
}

bool IsCompressedContentType(std::string_view contentType) {
    return textutil::ToLowerAscii(contentType).find("compressed") != std::string::npos;
}

std::optional<std::string> UnpackReply(std::string_view reply) {
    UnpackedFrame unpacked = UnpackFrame(reply, /*verifyChecksum=*/false);
    if (!unpacked.ok()) return std::nullopt;
    return std::move(unpacked.body);
}

const char kReplyTooLargeText[] =
    "The reply from the update service is larger than 64 MB and was not accepted.";

char* ReplyBody::Reserve(size_t more) {
    const size_t base = data_.size() - reserved_;
    data_.resize(base);
    reserved_ = 0;
    if (more > cap_ || base > cap_ - more) return nullptr;
    data_.resize(base + more);
    reserved_ = more;
    return &data_[base];
}

void ReplyBody::Commit(size_t count) {
    const size_t base = data_.size() - reserved_;
    data_.resize(base + (count < reserved_ ? count : reserved_));
    reserved_ = 0;
}

bool ReplyBody::Append(std::string_view piece) {
    char* room = Reserve(piece.size());
    if (!room) return false;
    piece.copy(room, piece.size());
    Commit(piece.size());
    return true;
}

uint32_t ChooseErrorText(uint32_t httpStatus, std::string_view statusText, uint32_t error,
                         const ErrorTextSource& systemText, const ErrorTextSource& moduleText, size_t size,
                         std::string& text) {
    uint32_t code = 0;
    if (httpStatus != 0) {
        text.assign(statusText);
        code = httpStatus;
    } else {
        std::optional<std::string> found;
        if (systemText) found = systemText(error);
        if (!found && moduleText) found = moduleText(error);
        text = found ? *found : textutil::Format("The operation failed, error code %d", static_cast<int>(error));
        code = error;
    }
    const size_t room = size == 0 ? 0 : size - 1;
    if (text.size() > room) text.resize(room);
    return code;
}

std::string StripLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n') out.push_back(c);
    return out;
}

namespace {
std::mutex g_factoryMutex;
TalkerFactory g_factory;
}  // namespace

std::unique_ptr<ITalker> MakeTalker() {
    TalkerFactory factory;
    {
        std::lock_guard<std::mutex> lock(g_factoryMutex);
        factory = g_factory;
    }
    return factory ? factory() : MakeDefaultTalker();
}

TalkerFactory InstallTalkerFactory(TalkerFactory factory) {
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    return std::exchange(g_factory, std::move(factory));
}

}  // namespace vnxml
