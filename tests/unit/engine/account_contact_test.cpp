// The account contact over a talker that answers with a given reply: what it
// sends, what it stores, and how a refusal and a failure end.
#include <gtest/gtest.h>

#include <stdexcept>

#include "appcore/commands.h"
#include "common/scan_document_support.h"
#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "engine/account_contact.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "service/talker.h"
#include "service/varnel_server.h"

namespace {

class ReplyTalker : public vnxml::ITalker {
public:
    ReplyTalker(std::string reply, std::string* request, bool fail)
        : reply_(std::move(reply)), request_(request), fail_(fail) {}
    void SetStatusWindow(platform::WindowHandle) override {}
    void SetAddress(const std::string&, const std::string&, bool) override {}
    bool SetAddress(const std::string&) override { return true; }
    const vnxml::TalkAddress& Address() const override { return address_; }
    bool Request(bool, const std::string&, std::string_view, bool) override { return false; }
    bool RequestFile(bool, const std::string&, const std::string& path, bool) override {
        *request_ = platform::ReadWholeFile(path).value_or("");
        return !fail_;
    }
    uint32_t ErrorText(std::string& text, size_t) const override {
        text = "cannot connect";
        return fail_ ? 12029 : 0;
    }
    uint32_t HttpStatus() const override { return fail_ ? 0 : 200; }
    uint32_t Error() const override { return fail_ ? 12029 : 0; }
    const std::string& StatusText() const override { return empty_; }
    const std::string& ContentType() const override { return empty_; }
    std::string_view Reply() const override { return reply_; }

private:
    std::string reply_;
    std::string* request_;
    bool fail_;
    vnxml::TalkAddress address_;
    std::string empty_;
};

class AccountContact : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetShellFolderRoot(folder_.str());
        platform::AppSettings().WriteText(setting::kMachineId, "m-old");
        platform::AppSettings().WriteText(setting::kScanId, "s-old");
    }

    engine::AccountOutcome Contact(const std::string& status, bool fail = false, const std::string& echoedId = "") {
        const std::string reply = "<?xml version=\"1.0\"?>\n<meridox revision=\"0\"><status>" + status +
                                  "</status><authentication><machineid>" + echoedId +
                                  "</machineid></authentication></meridox>";
        talker_.Replace([=, this] { return std::make_unique<ReplyTalker>(reply, &request_, fail); });
        vnxml::CVarnelServer server;
        return engine::ContactServer(server, nullptr, 0);
    }
    static std::string Stored(const char* name) { return platform::AppSettings().ReadText(name); }

    scandoc::Environment env_;
    testing_support::TempFolder folder_{"vnaccount"};
    std::string request_;
    testing_support::ScopedHook<vnxml::InstallTalkerFactory> talker_{vnxml::TalkerFactory()};
};

}  // namespace

TEST_F(AccountContact, AnAcceptedContactStoresWhatTheServiceReturnedAndNothingElse) {
    engine::AccountOutcome accepted =
        Contact("<code>0</code><set-machine-id>m-new</set-machine-id><scanid>s-new</scanid>");
    EXPECT_EQ(accepted.result, engine::kAccountAccepted);
    EXPECT_NE(request_.find("<machineid>m-old</machineid>"), std::string::npos) << request_;
    EXPECT_NE(request_.find("<machinename>TESTHOST</machinename>"), std::string::npos) << request_;
    EXPECT_EQ(Stored(setting::kMachineId), "m-new");
    EXPECT_EQ(Stored(setting::kScanId), "s-new");
    EXPECT_EQ(appcore::AccountContactText(accepted.result, accepted.accountError, accepted.confirmAddress), "");

    // Nothing returned (the echoed identity is the one sent): the stored
    // identities stay; an echoed identity of its own is the service's answer.
    EXPECT_EQ(Contact("<code>0</code>", false, "m-new").result, engine::kAccountAccepted);
    EXPECT_EQ(Stored(setting::kMachineId), "m-new");
    EXPECT_EQ(Stored(setting::kScanId), "s-new");
    Contact("<code>0</code>", false, "m-other");
    EXPECT_EQ(Stored(setting::kMachineId), "m-other");
}

TEST_F(AccountContact, ARefusalGivesTheLoginErrorOrTheUnconfirmedAccountTextAndStoresNothing) {
    engine::AccountOutcome refused =
        Contact("<code>2</code><login-error>Computer disabled.</login-error><scanid>s-x</scanid>");
    EXPECT_EQ(refused.result, engine::kAccountRefused);
    EXPECT_EQ(appcore::AccountContactText(refused.result, refused.accountError, refused.confirmAddress),
              "Login error: Computer disabled.");
    EXPECT_EQ(Stored(setting::kScanId), "s-old");

    engine::AccountOutcome unconfirmed = Contact(
        "<code>3</code><login-email-error>http://c.example/confirm</login-email-error>"
        "<message>Confirm first.</message>");
    EXPECT_EQ(appcore::AccountContactText(unconfirmed.result, unconfirmed.accountError, unconfirmed.confirmAddress),
              "Login error: " + appcore::UnconfirmedAccountText("http://c.example/confirm"));
}

TEST_F(AccountContact, NoReplyIsResultThreeAndAnExceptionResultOne) {
    EXPECT_EQ(Contact("<code>0</code><scanid>s-y</scanid>", /*fail=*/true).result, engine::kAccountNotReached);
    EXPECT_EQ(Stored(setting::kScanId), "s-old");

    talker_.Replace([]() -> std::unique_ptr<vnxml::ITalker> { throw std::runtime_error("no talker"); });
    vnxml::CVarnelServer server;
    EXPECT_EQ(engine::ContactServer(server, nullptr, 0).result, engine::kAccountAborted);
}
