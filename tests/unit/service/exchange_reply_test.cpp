// What an exchange does with the service's reply: the update records reach
// the lists, "Machine ID" is stored from a successful status, and a newer
// exclusion list replaces "exclusions.xml" and is loaded at once.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "common/posted_texts.h"
#include "common/recorded_events.h"
#include "common/scan_document_support.h"
#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "inventory/driver_data.h"
#include "inventory/watch_item.h"
#include "inventory/watch_list.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "service/exclusion_update.h"
#include "service/talker.h"
#include "service/varnel_server.h"
#include "service/watch_list_link.h"

using namespace vnxml;

namespace {

// Answers every request with the given reply and keeps the request sent.
struct Canned {
    std::string reply;
    std::string request;
    int requests = 0;
};

class CannedTalker : public ITalker {
public:
    explicit CannedTalker(Canned& canned) : c_(canned) {}
    void SetStatusWindow(platform::WindowHandle) override {}
    void SetAddress(const std::string&, const std::string&, bool) override {}
    bool SetAddress(const std::string&) override { return true; }
    const TalkAddress& Address() const override { return address_; }
    bool Request(bool, const std::string&, std::string_view, bool) override { return false; }
    bool RequestFile(bool, const std::string&, const std::string& path, bool) override {
        ++c_.requests;
        c_.request = platform::ReadWholeFile(path).value_or("");
        return true;
    }
    uint32_t ErrorText(std::string& text, size_t) const override {
        text.clear();
        return 0;
    }
    uint32_t HttpStatus() const override { return 200; }
    uint32_t Error() const override { return 0; }
    const std::string& StatusText() const override { return empty_; }
    const std::string& ContentType() const override { return empty_; }
    std::string_view Reply() const override { return c_.reply; }

private:
    Canned& c_;
    TalkAddress address_;
    std::string empty_;
};

const char kExclusion[] =
    "<exclusion revDate=\"2024-06-01\"><item name=\"setup.exe\"/><item product=\"Hotfix KB1\" dir=\"C:\\Temp\"/>"
    "<item name=\"^Security Update for .*\"/></exclusion>";

std::string Reply(const std::string& status, const std::string& rest = "") {
    return "<?xml version=\"1.0\"?>\n<meridox revision=\"0\"><status>" + status + "</status>" + rest + "</meridox>";
}

class ExchangeReply : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetShellFolderRoot(root_);
        watch_ = std::make_unique<VN_WatchList>(platform::DataFolder());
        // No copy of the program's folder may stand in for a missing list.
        watch_->SetServiceFileFolders(platform::DataFolder(), root_ + "\\program\\");
        link_ = std::make_unique<CWatchListLink>(*watch_);
    }
    void TearDown() override { platform::SetShellFolderRoot(""); }

    VN_WatchItem* AddProgram(const std::string& name, bool outdated = false) {
        auto item = std::make_unique<VN_WatchItem>();
        item->progName = name;
        item->outdated = outdated;
        item->updateAvailable = outdated;
        VN_WatchItem* raw = item.get();
        watch_->AddTail(std::move(item));
        return raw;
    }

    std::unique_ptr<CXMLBuffer> Buffer(uint8_t mode) {
        auto buffer = std::make_unique<CXMLBuffer>(watch_.get(), &drivers_, mode);
        buffer->watchListLink = link_.get();
        return buffer;
    }

    // The whole exchange over the server of the program's lists.
    bool Exchange(CXMLBuffer& buffer, const std::string& reply) {
        canned_.reply = reply;
        CVarnelServer server(watch_.get(), &drivers_);
        return server.Send(buffer, nullptr);
    }

    static std::string Stored(const char* name) { return platform::AppSettings().ReadText(name); }
    static std::optional<std::string> ListFile() { return platform::ReadWholeFile(ExclusionListPath()); }

    scandoc::Environment env_;  // memory settings, no digest of the test program
    testing_support::TempFolder folder_{"vnreply"};
    const std::string root_ = folder_.str();
    Canned canned_;
    testing_support::ScopedHook<vnxml::InstallTalkerFactory> talker_{
        [this] { return std::make_unique<CannedTalker>(canned_); }};
    std::unique_ptr<VN_WatchList> watch_;
    Views::CDriverData drivers_;
    std::unique_ptr<CWatchListLink> link_;
    testing_transport::PostedTexts posted_;
    testing_support::EventRecorder events_;
};

}  // namespace

TEST_F(ExchangeReply, ACheckReplyIsReadAfterTheFlagsWereClearedAndMachineIdKeptFromSuccessOnly) {
    VN_WatchItem* firefox = AddProgram("Mozilla Firefox");
    VN_WatchItem* other = AddProgram("In-house Tool", true);
    // An empty reply changes nothing (writing the request numbers the items).
    auto first = Buffer(kCheckRequest);
    ASSERT_TRUE(Exchange(*first, ""));
    ASSERT_NE(canned_.request.find("<software.scanned"), std::string::npos);
    EXPECT_TRUE(other->outdated);

    const std::string update = "<update><Sequence>" + std::to_string(firefox->GetSequence()) +
                               "</Sequence><ProgName>Mozilla Firefox</ProgName><CurrentVers>127.0.2</CurrentVers>"
                               "<Outdated>true</Outdated></update>";
    auto check = Buffer(kCheckRequest);
    ASSERT_TRUE(Exchange(*check, Reply("<code>0</code><set-machine-id>m-1</set-machine-id>", update)));
    EXPECT_TRUE(firefox->outdated);
    EXPECT_EQ(firefox->currentVers, "127.0.2");
    EXPECT_FALSE(other->outdated) << "not in the reply, so no longer out of date";
    EXPECT_TRUE(check->notifyFlag);
    EXPECT_EQ(Stored(setting::kMachineId), "m-1");

    // Pre-scan replies leave the items' flags alone; only a status of
    // exactly "0" stores an identifier, even from a reply that breaks off.
    for (const char* status : {"<code>2</code><set-machine-id>other</set-machine-id>",
                               "<code> 0</code><set-machine-id>other</set-machine-id>"}) {
        auto refused = Buffer(kPreScanRequest);
        ASSERT_TRUE(Exchange(*refused, Reply(status)));
        EXPECT_EQ(Stored(setting::kMachineId), "m-1") << status;
    }
    EXPECT_TRUE(firefox->outdated);
    auto broken = Buffer(kPreScanRequest);
    ASSERT_TRUE(Exchange(*broken, "<meridox><status><code>0</code><set-machine-id>new</set-machine-id></status><up"));
    EXPECT_EQ(Stored(setting::kMachineId), "new");
}

TEST_F(ExchangeReply, ACheckReplyThatIsNotAWholeServiceDocumentChangesNoItemAndFails) {
    VN_WatchItem* item = AddProgram("Mozilla Firefox", true);
    auto first = Buffer(kCheckRequest);
    ASSERT_TRUE(Exchange(*first, ""));  // numbers the items
    const std::string update = "<update><Sequence>" + std::to_string(item->GetSequence()) +
                               "</Sequence><ProgName>Firefox</ProgName><CurrentVers>128.0</CurrentVers>"
                               "<Outdated>false</Outdated></update>";
    const std::string whole = Reply("<code>0</code>", update);
    // A captive portal's page, a reply cut short after its status, and one
    // without a status.
    for (const std::string& reply : {std::string("<html><body>Sign in to the hotel network</body></html>"),
                                     whole.substr(0, whole.size() - 12), "<meridox>" + update + "</meridox>"}) {
        auto check = Buffer(kCheckRequest);
        ASSERT_TRUE(Exchange(*check, reply));
        EXPECT_TRUE(item->outdated) << reply;
        EXPECT_EQ(item->progName, "Mozilla Firefox") << reply;
        EXPECT_FALSE(check->status.IsSuccess()) << reply;
        EXPECT_EQ(check->status.message, platform::LoadText(319)) << reply;
    }
    auto check = Buffer(kCheckRequest);
    ASSERT_TRUE(Exchange(*check, whole));
    EXPECT_FALSE(item->outdated);
    EXPECT_EQ(item->currentVers, "128.0");
}

TEST_F(ExchangeReply, AStopDuringTheRequestLeavesTheReplyUnread) {
    VN_WatchItem* item = AddProgram("Tool", true);
    auto buffer = Buffer(kCheckRequest);
    canned_.reply = Reply("<code>0</code><set-machine-id>m-2</set-machine-id>");
    // The buffer's watch list is the stop source when the server has no lists.
    CVarnelServer server;
    int asked = 0;
    const std::string file = root_ + "/request.xml";
    ASSERT_TRUE(platform::WriteFileAtomically(file, "<meridox/>"));
    watch_->SetStop();
    EXPECT_EQ(server.Post(*buffer, nullptr, file), CVarnelServer::kPostAborted);
    EXPECT_EQ(canned_.requests, 0);
    watch_->ResetStop();

    CVarnelServer late([&asked] { return ++asked > 1; });
    EXPECT_EQ(late.Post(*buffer, nullptr, file), CVarnelServer::kPostAborted);
    EXPECT_EQ(canned_.requests, 1);
    EXPECT_TRUE(item->outdated);
    EXPECT_TRUE(Stored(setting::kMachineId).empty());
}

TEST_F(ExchangeReply, ANewerExclusionListReplacesTheFileAndIsLoaded) {
    // No list yet: any list of the service is newer.
    auto first = Buffer(kPreScanRequest);
    ASSERT_TRUE(Exchange(*first, Reply(std::string("<code>0</code>") + kExclusion)));
    ASSERT_TRUE(ListFile());
    EXPECT_EQ(watch_->GetExclusionDate(), "2024-06-01");
    EXPECT_TRUE(watch_->IsInExclusions("setup.exe"));
    EXPECT_TRUE(watch_->IsInExclusions("C:\\Temp"));
    EXPECT_TRUE(watch_->IsInExclusions("Security Update for Windows (KB500)"));
    const std::string path = ExclusionListPath();
    EXPECT_EQ(path, platform::DataFolder() + "\\exclusions.xml");
    EXPECT_EQ(events_.Texts(),
              std::vector<std::string>{"Successfully created new exclusion list at location:\n" + path});

    // The same date again: the file is not written (its removal stays).
    ASSERT_TRUE(platform::RemoveFile(path));
    auto same = Buffer(kPreScanRequest);
    ASSERT_TRUE(Exchange(*same, Reply(std::string("<code>0</code>") + kExclusion)));
    EXPECT_FALSE(ListFile());
    EXPECT_EQ(events_.Texts().size(), 1u);

    // "Force Exclusion List" takes whatever the service sends.
    platform::AppSettings().WriteNumber(setting::kForceExclusionList, 1);
    auto forced = Buffer(kPreScanRequest);
    ASSERT_TRUE(Exchange(*forced, Reply(std::string("<code>0</code>") + kExclusion)));
    EXPECT_TRUE(ListFile());
    EXPECT_EQ(events_.Texts().size(), 2u);
}

TEST_F(ExchangeReply, AnExclusionListIsKeptOnlyFromASuccessfulReplyWithADate) {
    const std::string newer = "<exclusion revDate=\"2030-01-01\"><item name=\"newer.exe\"/></exclusion>";
    for (const std::string& reply : {Reply("<code>1</code>" + newer), Reply("<code>0</code><exclusion/>"),
                                     Reply("<code>0</code><exclusion revDate=\"someday\"/>")}) {
        auto buffer = Buffer(kPreScanRequest);
        ASSERT_TRUE(Exchange(*buffer, reply));
        EXPECT_FALSE(ListFile()) << reply;
    }
    // A list the reply holds elsewhere than under its status cannot be
    // saved: the old file stays and stays loaded.
    ASSERT_TRUE(platform::WriteFileAtomically(ExclusionListPath(),
                                              "<?xml version='1.0'?>\n<exclusion revDate=\"2024-06-01\">"
                                              "<item name=\"old.exe\"/></exclusion>\n"));
    watch_->LoadExclusions();
    auto misplaced = Buffer(kPreScanRequest);
    ASSERT_TRUE(Exchange(*misplaced, "<reply><status><code>0</code>" + newer + "</status></reply>"));
    EXPECT_TRUE(watch_->IsInExclusions("old.exe"));
    EXPECT_FALSE(watch_->IsInExclusions("newer.exe"));
    EXPECT_NE(ListFile().value_or("").find("old.exe"), std::string::npos);
    EXPECT_TRUE(events_.Texts().empty());
}

TEST_F(ExchangeReply, SendAuthenticationWritesTheListsOnlyWhenAsked) {
    AddProgram("Some Tool");
    CXMLAuthentication authentication;
    authentication.machinename = "DESK-7";
    authentication.exclusionListDate = "2001-01-01";
    CXMLStatus status;
    canned_.reply = Reply("<code>0</code><scanid>s-1</scanid>",
                          "<authentication><machinename>DESK-7</machinename><machineid>m-9</machineid>"
                          "</authentication>");
    CVarnelServer server(watch_.get(), &drivers_);
    ASSERT_TRUE(server.SendAuthentication(authentication, status, nullptr,
                                          {kCheckRequest, /*withLists=*/true, 14400, 1718000000}));
    EXPECT_NE(canned_.request.find("<machinename>DESK-7</machinename>"), std::string::npos);
    EXPECT_NE(canned_.request.find("<nextScheduledScan>"), std::string::npos);
    EXPECT_NE(canned_.request.find("<CheckForUpdatesInterval>240<"), std::string::npos);
    EXPECT_NE(canned_.request.find("Some Tool"), std::string::npos);
    EXPECT_FALSE(watch_->GetScanTimeText().empty()) << "the request's time is the list's scan time";
    EXPECT_EQ(authentication.machineid, "m-9");
    EXPECT_EQ(status.scanid, "s-1");

    ASSERT_TRUE(
        server.SendAuthentication(authentication, status, nullptr, {kCheckRequest, /*withLists=*/false, 0, 0}));
    EXPECT_EQ(canned_.request.find("Some Tool"), std::string::npos);
    EXPECT_EQ(canned_.request.find("<software.scanned"), std::string::npos);
    EXPECT_EQ(canned_.request.find("<nextScheduledScan>"), std::string::npos) << "none is scheduled";
}
