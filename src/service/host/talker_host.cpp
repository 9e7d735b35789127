// The host has no WinInet and the agent never talks to the service from
// Linux: the host talker keeps its address and fails every request with
// "not supported" (error 50), so that code built on the talker runs on the
// host and reports the failure as any other. Tests install talkers of their own.
#include <cerrno>
#include <cstring>

#include "service/talker.h"

namespace vnxml {
namespace {

constexpr uint32_t kErrorNotSupported = 50;

class CHostTalker : public ITalker {
public:
    void SetStatusWindow(platform::WindowHandle) override {}
    void SetAddress(const std::string& host, const std::string& path, bool secure) override {
        address_ = AddressFromParts(host, path, secure);
    }
    bool SetAddress(const std::string&) override {
        address_ = TalkAddress{};
        error_ = kErrorNotSupported;
        return false;
    }
    const TalkAddress& Address() const override { return address_; }
    bool Request(bool, const std::string&, std::string_view, bool) override {
        error_ = kErrorNotSupported;
        return false;
    }
    bool RequestFile(bool, const std::string&, const std::string&, bool) override {
        error_ = kErrorNotSupported;
        return false;
    }
    uint32_t ErrorText(std::string& text, size_t size) const override {
        return ChooseErrorText(0, "", error_, nullptr, nullptr, size, text);
    }
    uint32_t HttpStatus() const override { return 0; }
    uint32_t Error() const override { return error_; }
    const std::string& StatusText() const override { return empty_; }
    const std::string& ContentType() const override { return empty_; }
    std::string_view Reply() const override { return {}; }

private:
    TalkAddress address_;
    uint32_t error_ = 0;
    std::string empty_;
};

}  // namespace

std::unique_ptr<ITalker> MakeDefaultTalker() { return std::make_unique<CHostTalker>(); }

uint32_t LastSystemError() { return static_cast<uint32_t>(errno); }

std::string SystemErrorText(uint32_t code) { return code ? std::strerror(static_cast<int>(code)) : std::string(); }

}  // namespace vnxml
