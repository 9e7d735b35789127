// The exchange's own steps over a scripted talker: where the request goes,
// when a stop ends it, what the user-interface thread is told on failure,
// and the request file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <future>
#include <thread>

#include "common/posted_texts.h"
#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "platform/text.h"
#include "service/talker.h"
#include "service/varnel_server.h"

using namespace vnxml;

namespace {

// What the scripted talker was asked, and how it answers.
struct Script {
    bool succeed = true;
    uint32_t httpStatus = 200;
    std::string statusText = "OK";
    uint32_t error = 0;
    std::string errorText;
    std::string reply;

    int created = 0;
    int requests = 0;
    platform::WindowHandle statusWindow = nullptr;
    std::optional<std::string> url;
    TalkAddress address;
    bool interactive = true;
    std::string verb;
    std::string file;
    std::string fileContents;
    std::vector<std::string> contentsSent;  // of every request, in turn
    std::function<void()> whileSending;     // called as a request starts, before the file is read
    bool compress = false;
};

class ScriptedTalker : public ITalker {
public:
    explicit ScriptedTalker(Script& script) : s_(script) { ++s_.created; }
    void SetStatusWindow(platform::WindowHandle window) override { s_.statusWindow = window; }
    void SetAddress(const std::string& host, const std::string& path, bool secure) override {
        s_.address = AddressFromParts(host, path, secure);
    }
    bool SetAddress(const std::string& url) override {
        s_.url = url;
        return true;
    }
    const TalkAddress& Address() const override { return s_.address; }
    bool Request(bool, const std::string&, std::string_view, bool) override { return false; }
    bool RequestFile(bool interactive, const std::string& verb, const std::string& path, bool compress) override {
        ++s_.requests;
        s_.interactive = interactive;
        s_.verb = verb;
        s_.file = path;
        if (s_.whileSending) s_.whileSending();
        s_.fileContents = platform::ReadWholeFile(path).value_or("<unreadable>");
        s_.contentsSent.push_back(s_.fileContents);
        s_.compress = compress;
        return s_.succeed;
    }
    uint32_t ErrorText(std::string& text, size_t size) const override {
        return ChooseErrorText(s_.httpStatus, s_.statusText, s_.error,
                               [this](uint32_t) { return std::optional<std::string>(s_.errorText); }, nullptr,
                               size, text);
    }
    uint32_t HttpStatus() const override { return s_.httpStatus; }
    uint32_t Error() const override { return s_.error; }
    const std::string& StatusText() const override { return s_.statusText; }
    const std::string& ContentType() const override { return type_; }
    std::string_view Reply() const override { return s_.reply; }

private:
    Script& s_;
    std::string type_ = "text/xml";
};

class Exchange : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetShellFolderRoot(root_);
        requestFile_ = root_ + "/request.xml";
        ASSERT_TRUE(platform::WriteFileAtomically(requestFile_, "<meridox/>"));
    }
    void TearDown() override { platform::SetShellFolderRoot(""); }

    int Post(CVarnelServer& server, platform::WindowHandle window = nullptr) {
        return server.Post(window, requestFile_, [this](std::string_view reply) { replies_.emplace_back(reply); });
    }

    testing_support::TempFolder folder_{"vnexchange"};
    const std::string root_ = folder_.str();
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
    std::string requestFile_;
    Script script_;
    testing_support::ScopedHook<vnxml::InstallTalkerFactory> talker_{
        [this] { return std::make_unique<ScriptedTalker>(script_); }};
    std::vector<std::string> replies_;
    testing_transport::PostedTexts posted_;
};

}  // namespace

TEST_F(Exchange, AddressComesFromTheClientLinkUrlOrTheServerSettings) {
    platform::Settings& s = platform::AppSettings();
    ScanServiceAddress a = ReadScanServiceAddress(s);
    EXPECT_FALSE(a.url);
    EXPECT_EQ(a.host, platform::LoadText(setting::kXmlServerNameDefaultId));
    EXPECT_EQ(a.path, "/cgi-bin/vncheck.fcgi");
    EXPECT_TRUE(a.secure);

    s.WriteText(setting::kXmlServerName, "scan.example");
    s.WriteText(setting::kXmlUrlName, "/check");
    s.WriteNumber(setting::kUseSsl, 0);
    a = ReadScanServiceAddress(s);
    EXPECT_EQ(a.host, "scan.example");
    EXPECT_EQ(a.path, "/check");
    EXPECT_FALSE(a.secure);
    // Only exactly 1 turns SSL on.
    s.WriteNumber(setting::kUseSsl, 2);
    EXPECT_FALSE(ReadScanServiceAddress(s).secure);

    // "EMPTY" and an empty value both mean "not set".
    s.WriteText(setting::kClientLinkUrl, "EMPTY");
    EXPECT_FALSE(ReadScanServiceAddress(s).url);
    s.WriteText(setting::kClientLinkUrl, "");
    EXPECT_FALSE(ReadScanServiceAddress(s).url);
    s.WriteText(setting::kClientLinkUrl, "http://127.0.0.1:8080/cgi-bin/vncheck.fcgi?who=me");
    EXPECT_EQ(ReadScanServiceAddress(s).url, "http://127.0.0.1:8080/cgi-bin/vncheck.fcgi?who=me");

    // Post hands the talker the URL whole; cracking it is the talker's job.
    CVarnelServer server;
    EXPECT_EQ(Post(server), 0);
    EXPECT_EQ(script_.url, "http://127.0.0.1:8080/cgi-bin/vncheck.fcgi?who=me");
}

TEST_F(Exchange, PostSendsTheFileCompressedAndHandsOnTheReply) {
    platform::AppSettings().WriteNumber(setting::kUseSsl, 0);
    script_.reply = "<meridox><status code=\"0\"/></meridox>";
    const auto window = reinterpret_cast<platform::WindowHandle>(0x77);
    CVarnelServer server;
    EXPECT_EQ(Post(server, window), CVarnelServer::kPostSucceeded);

    EXPECT_EQ(script_.requests, 1);
    EXPECT_EQ(script_.verb, "POST");
    EXPECT_FALSE(script_.interactive);
    EXPECT_TRUE(script_.compress);
    EXPECT_EQ(script_.fileContents, "<meridox/>");
    EXPECT_EQ(script_.statusWindow, window);
    EXPECT_FALSE(script_.url);
    EXPECT_EQ(script_.address.port, 80);
    EXPECT_EQ(script_.address.scheme, kSchemeHttp);
    ASSERT_EQ(replies_.size(), 1u);
    EXPECT_EQ(replies_[0], script_.reply);
    EXPECT_TRUE(posted_.Texts().empty());
}

TEST_F(Exchange, AStopBeforeTheRequestOrAfterTheReplyEndsPostSilently) {
    bool stop = true;
    CVarnelServer server([&stop] { return stop; });
    EXPECT_EQ(Post(server), CVarnelServer::kPostAborted);
    EXPECT_EQ(script_.requests, 0);

    // The stop arrives while the request runs: the reply is not handed on.
    int asked = 0;
    CVarnelServer late([&asked] { return ++asked > 1; });
    EXPECT_EQ(Post(late), CVarnelServer::kPostAborted);
    EXPECT_EQ(script_.requests, 1);
    EXPECT_TRUE(replies_.empty());
    EXPECT_TRUE(posted_.Texts().empty());
}

TEST_F(Exchange, FailuresPostTheirTextWithoutLineBreaks) {
    CVarnelServer server;

    // The service cannot be reached: the error's text, then string 319.
    script_.succeed = false;
    script_.httpStatus = 0;
    script_.error = kErrorCannotConnect;
    script_.errorText = "A connection with the server\r\ncould not be established\r\n";
    EXPECT_EQ(Post(server), 12029);
    EXPECT_EQ(posted_.Texts(), (std::vector<std::string>{"A connection with the servercould not be established",
                                                         platform::LoadText(319)}));
    EXPECT_TRUE(replies_.empty());

    // Another WinInet error: its text alone.
    posted_.recorded().texts.clear();
    script_.error = 12002;
    script_.errorText = "The operation timed out\r\n";
    EXPECT_EQ(Post(server), 12002);
    EXPECT_EQ(posted_.Texts(), std::vector<std::string>{"The operation timed out"});

    // An HTTP status of 400 or more: its status text.
    posted_.recorded().texts.clear();
    script_.httpStatus = 404;
    script_.statusText = "Not Found";
    EXPECT_EQ(Post(server), 404);
    EXPECT_EQ(posted_.Texts(), std::vector<std::string>{"Not Found"});

    // A text is posted even when it is empty.
    posted_.recorded().texts.clear();
    script_.httpStatus = 503;
    script_.statusText = "";
    EXPECT_EQ(Post(server), 503);
    EXPECT_EQ(posted_.Texts(), std::vector<std::string>{""});
}

TEST_F(Exchange, AFailureNeverAnswersAsSuccessOrStop) {
    CVarnelServer server;
    script_.succeed = false;
    script_.httpStatus = 0;
    for (uint32_t error : {0u, 1u}) {
        posted_.recorded().texts.clear();
        script_.error = error;
        const int result = Post(server);
        EXPECT_NE(result, CVarnelServer::kPostSucceeded);
        EXPECT_NE(result, CVarnelServer::kPostAborted);
        // The user is told of a failure, never shown the text of success.
        EXPECT_EQ(posted_.Texts(), std::vector<std::string>{"The request to the update service failed without a reason."});
    }
}

TEST_F(Exchange, SendWritesTheRequestFileAndPostsIt) {
    CVarnelServer server;
    const auto write = [](std::FILE* file) { return std::fputs("<meridox revision=\"0\"/>\n", file) >= 0; };
    std::vector<std::string> got;
    EXPECT_TRUE(server.Send(write, nullptr, [&](std::string_view r) { got.emplace_back(r); }));
    EXPECT_EQ(script_.file, CVarnelServer::RequestFilePath());
    EXPECT_EQ(textutil::FileNameOf(script_.file), "submit.xml");
    EXPECT_EQ(script_.fileContents, "<meridox revision=\"0\"/>\n");
    EXPECT_EQ(got.size(), 1u);
    // The file stays after the exchange.
    EXPECT_TRUE(platform::FileExists(CVarnelServer::RequestFilePath()));

    // The service answers with a failure: Send is false.
    script_.succeed = false;
    script_.httpStatus = 500;
    script_.statusText = "Internal Server Error";
    EXPECT_FALSE(server.Send(write, nullptr, nullptr));
    EXPECT_EQ(posted_.Texts(), std::vector<std::string>{"Internal Server Error"});
}

TEST_F(Exchange, TwoExchangesAtOnceTakeTheRequestFileInTurn) {
    // The scan worker's check and an account contact on its own thread.
    std::promise<void> firstInFlight;
    int started = 0;
    script_.whileSending = [&] {
        if (++started != 1) return;
        firstInFlight.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the first request's transfer
    };
    const auto writer = [](const char* text) {
        return [text](std::FILE* file) { return std::fputs(text, file) >= 0; };
    };
    std::thread check([&] { CVarnelServer().Send(writer("<check/>"), nullptr, nullptr); });
    firstInFlight.get_future().wait();
    std::thread contact([&] { CVarnelServer().Send(writer("<authentication/>"), nullptr, nullptr); });
    check.join();
    contact.join();
    EXPECT_EQ(script_.contentsSent, (std::vector<std::string>{"<check/>", "<authentication/>"}));
}

TEST_F(Exchange, SendStopsQuietlyWhenTheDocumentIsNotWritten) {
    CVarnelServer server;
    EXPECT_FALSE(server.Send([](std::FILE*) { return false; }, nullptr, nullptr));
    EXPECT_EQ(script_.requests, 0);
    EXPECT_TRUE(posted_.Texts().empty());
}

TEST_F(Exchange, SendReportsARequestFileThatCannotBeCreated) {
    // A folder where the file should be.
    ASSERT_TRUE(platform::CreateDirectories(CVarnelServer::RequestFilePath()));
    CVarnelServer server;
    bool wrote = false;
    EXPECT_FALSE(server.Send([&](std::FILE*) { return wrote = true; }, nullptr, nullptr));
    EXPECT_FALSE(wrote);
    EXPECT_EQ(script_.requests, 0);
    const std::vector<std::string> texts = posted_.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "The server was busy and could not check for updates.");
    EXPECT_FALSE(texts[1].empty());  // the system's text of the error
}

TEST(PostSafeMessage, ReachesTheMainWindowOnlyWhileThereIsOne) {
    testing_transport::PostedTexts posted(nullptr);
    EXPECT_FALSE(platform::PostSafeMessage("nobody listens"));
    EXPECT_TRUE(posted.Texts().empty());

    platform::SetMainWindow(reinterpret_cast<platform::WindowHandle>(0x42));
    EXPECT_TRUE(platform::PostSafeMessage(std::string("100% done %s")));
    EXPECT_TRUE(platform::PostSafeMessage(319));
    EXPECT_EQ(posted.Texts(), (std::vector<std::string>{"100% done %s", platform::LoadText(319)}));
    EXPECT_EQ(posted.recorded().setMessageLParams, (std::vector<intptr_t>{0, 0}));

    // A post that fails frees its block (the leak checker would tell) and says so.
    posted.recorded().refusePosts = true;
    EXPECT_FALSE(platform::PostSafeMessage("lost"));
}
