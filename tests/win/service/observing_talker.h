// A WinInet talker for tests that lets the test see each request after it
// ran (the exchange destroys its talker) and, if it wants, send a request
// unframed. Everything else is the real talker's.
#pragma once

#include "service/talker.h"
#include "service/win/talker.h"

namespace testing_transport {

class ObservingTalker : public vnxml::ITalker {
public:
    void SetStatusWindow(platform::WindowHandle w) override { t_.SetStatusWindow(w); }
    void SetAddress(const std::string& h, const std::string& p, bool s) override { t_.SetAddress(h, p, s); }
    bool SetAddress(const std::string& url) override { return t_.SetAddress(url); }
    const vnxml::TalkAddress& Address() const override { return t_.Address(); }
    bool Request(bool i, const std::string& v, std::string_view b, bool c) override {
        const bool ok = t_.Request(i, v, b, Compress(c));
        Observe(t_);
        return ok;
    }
    bool RequestFile(bool i, const std::string& v, const std::string& p, bool c) override {
        const bool ok = t_.RequestFile(i, v, p, Compress(c));
        Observe(t_);
        return ok;
    }
    uint32_t ErrorText(std::string& text, size_t size) const override { return t_.ErrorText(text, size); }
    uint32_t HttpStatus() const override { return t_.HttpStatus(); }
    uint32_t Error() const override { return t_.Error(); }
    const std::string& StatusText() const override { return t_.StatusText(); }
    const std::string& ContentType() const override { return t_.ContentType(); }
    std::string_view Reply() const override { return t_.Reply(); }

protected:
    // Whether the request goes framed; the exchange's own choice by default.
    virtual bool Compress(bool asked) { return asked; }
    // Called after each request with the talker that ran it.
    virtual void Observe(const vnxml::CTalker& talker) = 0;

private:
    vnxml::CTalker t_;
};

}  // namespace testing_transport
