// The exchange with real HTTP under Wine: the address from the settings, the
// failures the user-interface thread is told about, the progress a window
// receives while the request runs, and the texts reaching the main frame.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "app/main_events.h"
#include "common/posted_texts.h"
#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "loopback.h"
#include "observing_talker.h"
#include "platform/event_log.h"
#include "platform/folders.h"
#include "platform/message_names.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "service/talker.h"
#include "service/varnel_server.h"
#include "service/win/talker.h"

using namespace vnxml;
using namespace testing_transport;

namespace {

class NullEventLog : public platform::IEventLog {
public:
    bool Report(platform::EventKind, const std::string&) override { return true; }
};

class ExchangeWin : public ::testing::Test {
protected:
    void SetUp() override { platform::SetShellFolderRoot(root_); }
    void TearDown() override { platform::SetShellFolderRoot(""); }

    static void LinkTo(const std::string& url) { platform::AppSettings().WriteText(setting::kClientLinkUrl, url); }

    // Post of a small pre-scan document; the reply lands in reply_.
    int PostPrescan(platform::WindowHandle window = nullptr) {
        const std::string file = root_ + "\\request.xml";
        EXPECT_TRUE(platform::WriteFileAtomically(file, ServiceDocument("prescan.xml")));
        CVarnelServer server;
        reply_.reset();
        return server.Post(window, file, [this](std::string_view r) { reply_ = std::string(r); });
    }

    testing_support::TempFolder folder_{"varnel-exchange"};
    std::string root_ = folder_.str();
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
    testing_support::ScopedHook<platform::InstallEventLog> eventLog_{std::make_unique<NullEventLog>()};
    testing_support::ScopedHook<InstallTalkerFactory> talker_{nullptr};
    std::optional<std::string> reply_;
};

// A WinInet talker whose address and flags outlive the exchange.
struct Observed {
    TalkAddress address;
    uint32_t flags = 0;
};
class ObservedTalker : public testing_transport::ObservingTalker {
public:
    explicit ObservedTalker(Observed& out) : out_(out) {}

protected:
    void Observe(const CTalker& talker) override {
        out_.address = talker.Address();
        out_.flags = talker.LastRequestFlags();
    }

private:
    Observed& out_;
};

}  // namespace

TEST_F(ExchangeWin, TheQueryOfTheClientLinkUrlIsNeverSent) {
    VARNEL_REQUIRE_PORT(service, ServicePort());
    VARNEL_REQUIRE_PORT(responder, ResponderPort());
    PostedTexts posted;

    LinkTo(Url(responder, "/echo/scan?account=42&password=x"));
    ASSERT_EQ(PostPrescan(), 0);
    ASSERT_TRUE(reply_);
    EXPECT_NE(reply_->find("target /echo/scan\n"), std::string::npos) << *reply_;
    EXPECT_EQ(reply_->find("account=42"), std::string::npos);

    // The service, addressed the same way, answers as usual.
    LinkTo(Url(service, "/cgi-bin/vncheck.fcgi?account=42"));
    ASSERT_EQ(PostPrescan(), 0);
    ASSERT_TRUE(reply_);
    EXPECT_NE(reply_->find("<code>0</code>"), std::string::npos) << *reply_;
    EXPECT_TRUE(posted.Texts().empty());
}

TEST_F(ExchangeWin, UseSslOffGoesToPort80WithoutTheSecureFlag) {
    Observed seen;
    talker_.Replace([&seen] { return std::make_unique<ObservedTalker>(seen); });
    PostedTexts posted;
    platform::Settings& s = platform::AppSettings();
    s.WriteText(setting::kXmlServerName, "127.0.0.1");
    s.WriteNumber(setting::kUseSsl, 0);
    PostPrescan();  // whatever answers on port 80, if anything
    EXPECT_EQ(seen.address.host, "127.0.0.1");
    EXPECT_EQ(seen.address.port, 80);
    EXPECT_EQ(seen.address.scheme, kSchemeHttp);
    EXPECT_EQ(seen.address.path, "/cgi-bin/vncheck.fcgi");
    EXPECT_EQ(seen.flags & kFlagSecure, 0u);
    EXPECT_NE(seen.flags & kFlagNoCookies, 0u);

    s.WriteNumber(setting::kUseSsl, 1);
    s.WriteText(setting::kXmlServerName, "127.0.0.1");
    LinkTo("EMPTY");
    PostPrescan();
    EXPECT_EQ(seen.address.port, 443);
    EXPECT_EQ(seen.address.scheme, kSchemeHttps);
    EXPECT_NE(seen.flags & kFlagSecure, 0u);
}

TEST_F(ExchangeWin, FailuresReachTheUserInterfaceThreadAsTexts) {
    VARNEL_REQUIRE_PORT(responder, ResponderPort());
    PostedTexts posted;

    // The service is down: WinInet's text without line breaks, then 319.
    LinkTo(Url(ClosedPort(), "/cgi-bin/vncheck.fcgi"));
    EXPECT_EQ(PostPrescan(), 12029);
    std::vector<std::string> texts = posted.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_FALSE(texts[0].empty());
    EXPECT_EQ(texts[0].find_first_of("\r\n"), std::string::npos) << texts[0];
    EXPECT_EQ(texts[1], platform::LoadText(319));
    EXPECT_FALSE(reply_);

    // A 404: its status text.
    posted.recorded().texts.clear();
    LinkTo(Url(responder, "/status/404"));
    EXPECT_EQ(PostPrescan(), 404);
    EXPECT_EQ(posted.Texts(), std::vector<std::string>{"Not Found"});
    EXPECT_FALSE(reply_);

    // A reply larger than the agent accepts.
    posted.recorded().texts.clear();
    LinkTo(Url(responder, "/oversize"));
    EXPECT_EQ(PostPrescan(), static_cast<int>(kErrorReplyTooLarge));
    EXPECT_EQ(posted.Texts(), std::vector<std::string>{kReplyTooLargeText});
    EXPECT_FALSE(reply_);

    // A compressed reply that cannot be unpacked is handed on as received.
    posted.recorded().texts.clear();
    LinkTo(Url(responder, "/unframed-compressed"));
    EXPECT_EQ(PostPrescan(), 0);
    ASSERT_TRUE(reply_);
    EXPECT_NE(reply_->find("<note>sent unframed</note>"), std::string::npos);
    EXPECT_TRUE(posted.Texts().empty());
}

TEST_F(ExchangeWin, SendWritesSubmitXmlAndExchangesItWithTheService) {
    VARNEL_REQUIRE_PORT(service, ServicePort());
    PostedTexts posted;
    LinkTo(Url(service, "/cgi-bin/vncheck.fcgi"));
    // The writer writes bare line feeds; the file is opened in text mode.
    const std::string onTheWire = ServiceDocument("prescan.xml");
    std::string document;
    for (char c : onTheWire)
        if (c != '\r') document.push_back(c);
    CVarnelServer server;
    std::string reply;
    ASSERT_TRUE(server.Send([&](std::FILE* f) { return std::fputs(document.c_str(), f) >= 0; }, nullptr,
                            [&](std::string_view r) { reply = std::string(r); }));
    EXPECT_NE(reply.find("<set-machine-id>"), std::string::npos) << reply;
    EXPECT_EQ(CVarnelServer::RequestFilePath(), platform::DataFolder() + "\\submit.xml");
    EXPECT_EQ(platform::ReadWholeFile(CVarnelServer::RequestFilePath()), onTheWire);
    EXPECT_TRUE(posted.Texts().empty());
}

TEST_F(ExchangeWin, SendReportsARequestFileThatCannotBeCreated) {
    PostedTexts posted;
    ASSERT_TRUE(platform::CreateDirectories(CVarnelServer::RequestFilePath()));
    CVarnelServer server;
    EXPECT_FALSE(server.Send([](std::FILE*) { return true; }, nullptr, nullptr));
    const std::vector<std::string> texts = posted.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], platform::LoadText(319));
    EXPECT_FALSE(texts[1].empty()) << "the system's text of the error";
    EXPECT_EQ(texts[1].find("The operation failed"), std::string::npos);
}

namespace {

struct Progress {
    uint32_t code;
    std::string text;
    DWORD thread;
};
std::vector<Progress>* g_progress = nullptr;
UINT g_talkProgress = 0;

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == g_talkProgress && g_progress) {
        g_progress->push_back({static_cast<uint32_t>(wParam), reinterpret_cast<const char*>(lParam),
                               GetCurrentThreadId()});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

TEST_F(ExchangeWin, AWindowOnTheInterfaceThreadSeesTheRequestProgress) {
    VARNEL_REQUIRE_PORT(service, ServicePort());
    g_talkProgress = RegisterWindowMessageA(wmname::kTalkProgress);
    WNDCLASSA wc{};
    wc.lpfnWndProc = ProgressWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VarnelTalkProgressTest";
    RegisterClassA(&wc);
    HWND window = CreateWindowA(wc.lpszClassName, "progress", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                wc.hInstance, nullptr);
    if (!window) GTEST_SKIP() << "no display for a window";
    std::vector<Progress> progress;
    g_progress = &progress;

    LinkTo(Url(service, "/cgi-bin/vncheck.fcgi"));
    std::atomic<bool> done{false};
    int result = -1;
    std::thread worker([&] {
        result = PostPrescan(window);
        done = true;
    });
    // The worker waits inside WinInet until this thread has handled each text.
    while (!done) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    worker.join();
    g_progress = nullptr;
    DestroyWindow(window);

    EXPECT_EQ(result, 0);
    std::vector<uint32_t> codes;
    for (const Progress& p : progress) {
        ASSERT_NE(TalkProgressText(p.code), nullptr) << "status " << p.code << " is not shown";
        EXPECT_EQ(p.text, TalkProgressText(p.code));
        EXPECT_EQ(p.thread, GetCurrentThreadId());
        codes.push_back(p.code);
    }
    // Sending, sent, awaiting and received, in that order.
    size_t at = 0;
    for (uint32_t wanted : {30u, 31u, 40u, 41u}) {
        while (at < codes.size() && codes[at] != wanted) ++at;
        EXPECT_LT(at, codes.size()) << "status " << wanted << " missing or out of order";
    }
}

TEST_F(ExchangeWin, PostedTextsReachTheMainFrame) {
    app::CMainEvents frame(GetModuleHandleA(nullptr));
    if (!frame.Create()) GTEST_SKIP() << "no display for the main window";
    EXPECT_EQ(platform::MainWindow(), frame.Window());

    const auto postFromAWorker = [](auto text) { std::thread([text] { platform::PostSafeMessage(text); }).join(); };
    const auto pump = [] {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    };
    postFromAWorker(std::string("Reply 100% broken: %s"));
    pump();
    EXPECT_EQ(frame.LastErrorText(), "Reply 100% broken: %s");
    postFromAWorker(kServerBusyTextId);
    pump();
    EXPECT_EQ(frame.LastErrorText(), platform::LoadText(kServerBusyTextId));
}
