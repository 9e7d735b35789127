// The agent's side of the exchange against the reference update service on
// loopback, under Wine with WinInet and MSXML: a pre-scan that registers the
// machine, opens a scan and brings the exclusion list; a check over a real
// watch list and driver list whose reply marks the known old versions out of
// date, with the reply compressed and plain; and the failures the user is
// told about.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/posted_texts.h"
#include "common/recorded_events.h"
#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "engine/prescan_status.h"
#include "inventory/driver_data.h"
#include "inventory/watch_item.h"
#include "inventory/watch_list.h"
#include "loopback.h"
#include "observing_talker.h"
#include "platform/folders.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "service/exclusion_update.h"
#include "service/varnel_server.h"
#include "service/watch_list_link.h"
#include "service/win/talker.h"

using namespace vnxml;
using namespace testing_transport;

namespace {

// What the WinInet talkers of the exchanges saw.
struct Seen {
    std::vector<std::string> contentTypes;
    std::vector<bool> framed;
    bool sendPlain = false;  // send the request unframed, so the service answers plain XML
};

class WatchedTalker : public testing_transport::ObservingTalker {
public:
    explicit WatchedTalker(Seen& seen) : seen_(seen) {}

protected:
    bool Compress(bool asked) override { return asked && !seen_.sendPlain; }
    void Observe(const CTalker& talker) override {
        seen_.contentTypes.push_back(talker.ContentType());
        seen_.framed.push_back(talker.LastRequestFramed());
    }

private:
    Seen& seen_;
};

class ServiceExchange : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetShellFolderRoot(root_);
        platform::AppSettings().WriteNumber(setting::kUseSsl, 0);

        watch_ = std::make_unique<VN_WatchList>(platform::DataFolder());
        watch_->SetServiceFileFolders(platform::DataFolder(), root_ + "\\program\\");
        link_ = std::make_unique<CWatchListLink>(*watch_);
        firefox_ = AddProgram("Mozilla Firefox (x64 en-US)", "firefox.exe", "115.0.2");
        sevenZip_ = AddProgram("7-Zip 19.00 (x64)", "7zFM.exe", "19.00");
        notepad_ = AddProgram("Notepad++ (64-bit x64)", "notepad++.exe", "8.6.8");
        notepad_->outdated = true;  // from an earlier check
        inHouse_ = AddProgram("In-house Ledger", "ledger.exe", "2.1");
        auto driver = std::make_unique<VN_DriverItem>();
        driver->deviceDesc = "Intel(R) Ethernet Connection I219-V";
        driver->driverVersion = "12.19.1.37";
        drivers_.AddTail(std::move(driver));
    }
    void TearDown() override { platform::SetShellFolderRoot(""); }

    VN_WatchItem* AddProgram(const std::string& name, const std::string& exe, const std::string& version) {
        auto item = std::make_unique<VN_WatchItem>();
        item->progName = name;
        item->executableName = exe;
        item->installedVers = version;
        item->myVersion = version;
        VN_WatchItem* raw = item.get();
        watch_->AddTail(std::move(item));
        return raw;
    }

    static void LinkTo(const std::string& url) { platform::AppSettings().WriteText(setting::kClientLinkUrl, url); }
    static std::string Stored(const char* name) { return platform::AppSettings().ReadText(name); }

    std::unique_ptr<CXMLBuffer> Buffer(uint8_t mode) {
        auto buffer = std::make_unique<CXMLBuffer>(watch_.get(), &drivers_, mode);
        buffer->watchListLink = link_.get();
        return buffer;
    }

    // The pre-scan as the engine runs it; the buffer keeps the reply.
    std::unique_ptr<CXMLBuffer> PreScan() {
        engine::ClearPreScanSettings();
        auto buffer = Buffer(kPreScanRequest);
        buffer->authentication.exclusionListDate = engine::PreScanExclusionListDate(watch_->GetExclusionDate());
        CVarnelServer server(watch_.get(), &drivers_);
        EXPECT_TRUE(server.Send(*buffer, nullptr));
        EXPECT_TRUE(engine::StorePreScanStatus(buffer->status)) << "code " << buffer->status.code;
        return buffer;
    }

    std::unique_ptr<CXMLBuffer> Check() {
        auto buffer = Buffer(kCheckRequest);
        buffer->scanId = Stored(setting::kScanId);
        CVarnelServer server(watch_.get(), &drivers_);
        EXPECT_TRUE(server.Send(*buffer, nullptr));
        return buffer;
    }

    testing_support::TempFolder folder_{"varnel-service-exchange"};
    std::string root_ = folder_.str();
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{
        platform::MakeMemorySettingsStore("WINE-DESK")};
    Seen seen_;
    testing_support::ScopedHook<InstallTalkerFactory> talker_{
        [this] { return std::make_unique<WatchedTalker>(seen_); }};
    PostedTexts posted_;
    testing_support::EventRecorder events_;
    std::unique_ptr<VN_WatchList> watch_;
    Views::CDriverData drivers_;
    std::unique_ptr<CWatchListLink> link_;
    VN_WatchItem* firefox_ = nullptr;
    VN_WatchItem* sevenZip_ = nullptr;
    VN_WatchItem* notepad_ = nullptr;
    VN_WatchItem* inHouse_ = nullptr;
};

}  // namespace

TEST_F(ServiceExchange, APreScanRegistersTheMachineOpensAScanAndBringsTheExclusionList) {
    VARNEL_REQUIRE_PORT(service, ServicePort());
    LinkTo(Url(service, "/cgi-bin/vncheck.fcgi"));

    auto first = PreScan();
    const std::string machineId = Stored(setting::kMachineId);
    EXPECT_FALSE(machineId.empty());
    EXPECT_EQ(machineId, first->status.setMachineId);
    const std::string scanId = Stored(setting::kScanId);
    EXPECT_FALSE(scanId.empty());
    EXPECT_NE(Stored(setting::kWelcomeUrl).find(machineId), std::string::npos) << "the first run's welcome page";
    EXPECT_EQ(Stored(setting::kClientUpdateVersion), "1.3.2.12");
    EXPECT_NE(Stored(setting::kClientUpdateUrl).find("VarnelSetup-1.3.2.12.msi"), std::string::npos);
    // The request went framed and the reply came back framed.
    EXPECT_EQ(seen_.framed, std::vector<bool>{true});
    EXPECT_EQ(seen_.contentTypes, std::vector<std::string>{"text/xml-compressed"});

    // The exclusion list was saved, reported and loaded.
    const std::string listPath = platform::DataFolder() + "\\exclusions.xml";
    ASSERT_TRUE(platform::FileExists(listPath));
    EXPECT_EQ(watch_->GetExclusionDate(), "2024-06-01");
    EXPECT_TRUE(watch_->IsInExclusions("setup.exe"));
    EXPECT_TRUE(watch_->IsInExclusions("Security Update for Windows 10 (KB5034441)"));
    EXPECT_TRUE(watch_->IsInExclusions("C:\\Windows\\explorer.exe"));
    EXPECT_FALSE(watch_->IsInExclusions("firefox.exe"));
    EXPECT_EQ(events_.Texts(),
              std::vector<std::string>{"Successfully created new exclusion list at location:\n" + listPath});

    // The next pre-scan: the machine is known, a new scan opens, and the list
    // of the same date is not written again.
    ASSERT_TRUE(platform::RemoveFile(listPath));
    auto second = PreScan();
    EXPECT_TRUE(second->status.setMachineId.empty());
    EXPECT_EQ(Stored(setting::kMachineId), machineId);
    EXPECT_FALSE(Stored(setting::kScanId).empty());
    EXPECT_NE(Stored(setting::kScanId), scanId);
    EXPECT_FALSE(platform::FileExists(listPath));
    EXPECT_TRUE(watch_->IsInExclusions("setup.exe")) << "the loaded list stays";

    // Forced, the service's list is taken whatever its date.
    platform::AppSettings().WriteNumber(setting::kForceExclusionList, 1);
    PreScan();
    EXPECT_TRUE(platform::FileExists(listPath));
    EXPECT_EQ(events_.Texts().size(), 2u);

    // The account contact's exchange hands back the reply's authentication
    // and status: a caller without an identifier is registered anew.
    CXMLAuthentication authentication;
    authentication.machinename = "WINE-DESK";
    CXMLStatus status;
    CVarnelServer server(watch_.get(), &drivers_);
    ASSERT_TRUE(server.SendAuthentication(authentication, status, nullptr,
                                          {kPreScanRequest, /*withLists=*/true, 0, 0}));
    EXPECT_EQ(status.code, "0");
    EXPECT_FALSE(status.scanid.empty());
    EXPECT_EQ(authentication.machinename, "WINE-DESK");
    EXPECT_FALSE(authentication.machineid.empty());
    EXPECT_NE(authentication.machineid, machineId);
    EXPECT_EQ(Stored(setting::kMachineId), authentication.machineid);
    EXPECT_TRUE(posted_.Texts().empty());
}

TEST_F(ServiceExchange, ACheckMarksTheKnownOldVersionsOutOfDateWhetherTheReplyIsCompressedOrNot) {
    VARNEL_REQUIRE_PORT(service, ServicePort());
    LinkTo(Url(service, "/cgi-bin/vncheck.fcgi"));
    PreScan();

    for (const bool plain : {false, true}) {
        SCOPED_TRACE(plain ? "plain reply" : "compressed reply");
        seen_ = Seen{};
        seen_.sendPlain = plain;
        auto check = Check();
        EXPECT_EQ(seen_.contentTypes, std::vector<std::string>{plain ? "text/xml" : "text/xml-compressed"});
        EXPECT_EQ(seen_.framed, std::vector<bool>{!plain});

        ASSERT_EQ(check->status.code, "0");
        EXPECT_FALSE(check->status.homepage.empty());
        EXPECT_EQ(firefox_->progName, "Mozilla Firefox");
        EXPECT_EQ(firefox_->currentVers, "127.0.2");
        EXPECT_EQ(firefox_->productId, "101");
        EXPECT_TRUE(firefox_->outdated);
        EXPECT_TRUE(firefox_->updateAvailable);
        EXPECT_EQ(sevenZip_->currentVers, "24.07");
        EXPECT_TRUE(sevenZip_->outdated);
        EXPECT_TRUE(sevenZip_->directDlIsFile);
        EXPECT_EQ(notepad_->currentVers, "8.6.8");
        EXPECT_FALSE(notepad_->outdated) << "current now, so the earlier mark is gone";
        EXPECT_TRUE(inHouse_->currentVers.empty());
        EXPECT_FALSE(inHouse_->outdated);
        EXPECT_TRUE(check->notifyFlag);
        // Only the first reply tells the agent of versions it did not know.
        EXPECT_EQ(check->watchListNewOutOfDate, !plain);
        EXPECT_EQ(check->changedFlag, !plain);
    }
    EXPECT_FALSE(watch_->GetScanTimeText().empty());
    EXPECT_TRUE(posted_.Texts().empty());
}

TEST_F(ServiceExchange, FailuresAreToldToTheUserAndAnUnreadableFrameIsReadAsItCame) {
    VARNEL_REQUIRE_PORT(responder, ResponderPort());
    const auto exchange = [this] {
        auto buffer = Buffer(kPreScanRequest);
        const bool sent = CVarnelServer(watch_.get(), &drivers_).Send(*buffer, nullptr);
        return std::make_pair(sent, std::move(buffer));
    };

    // The request file cannot be created: nothing is sent.
    const std::string request = CVarnelServer::RequestFilePath();
    ASSERT_TRUE(platform::CreateDirectories(request));
    EXPECT_FALSE(exchange().first);
    std::vector<std::string> texts = posted_.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], platform::LoadText(319));
    EXPECT_FALSE(texts[1].empty()) << "the system's text of the error";
    EXPECT_TRUE(seen_.framed.empty());
    ASSERT_TRUE(RemoveDirectoryA(request.c_str()));

    // The service is down: error 12029, its text and string 319.
    posted_.recorded().texts.clear();
    LinkTo(Url(ClosedPort(), "/cgi-bin/vncheck.fcgi"));
    {
        auto buffer = Buffer(kPreScanRequest);
        CVarnelServer server(watch_.get(), &drivers_);
        EXPECT_FALSE(server.Send(*buffer, nullptr));
        // Post answers the code itself, on the file Send left behind.
        EXPECT_EQ(server.Post(*buffer, nullptr, request), 12029);
        texts = posted_.Texts();
        ASSERT_EQ(texts.size(), 4u);  // the error's text and 319, once for each request
        EXPECT_EQ(texts[1], platform::LoadText(319));
        EXPECT_EQ(texts[0].find_first_of("\r\n"), std::string::npos) << texts[0];
        EXPECT_TRUE(buffer->status.code.empty());
    }

    // A 404: its status text; nothing of the reply is read.
    posted_.recorded().texts.clear();
    LinkTo(Url(responder, "/status/404"));
    {
        auto buffer = Buffer(kPreScanRequest);
        CVarnelServer server(watch_.get(), &drivers_);
        EXPECT_FALSE(server.Send(*buffer, nullptr));
        EXPECT_EQ(server.Post(*buffer, nullptr, request), 404);
        EXPECT_EQ(posted_.Texts(), (std::vector<std::string>{"Not Found", "Not Found"}));
        EXPECT_TRUE(buffer->status.code.empty());
    }

    // A reply that says it is compressed but is plain XML is parsed as it came.
    posted_.recorded().texts.clear();
    LinkTo(Url(responder, "/unframed-status"));
    auto [sent, buffer] = exchange();
    EXPECT_TRUE(sent);
    EXPECT_EQ(seen_.contentTypes.back(), "text/xml-compressed");
    EXPECT_EQ(buffer->status.code, "0");
    EXPECT_EQ(Stored(setting::kMachineId), "unframed-reply");
    EXPECT_TRUE(posted_.Texts().empty());
}

TEST(UserDateWin, TheAutomationParserReadsTheServiceDatesAsTheHostDoes) {
    EXPECT_EQ(ParseUserDate("2024-06-01"), 45444.0);
    EXPECT_EQ(ParseUserDate("2024-06-01 18:00"), 45444.75);
    EXPECT_FALSE(ParseUserDate("someday"));
    EXPECT_FALSE(ParseUserDate(""));
    // The United States form only where the user's locale is that one.
    if (LANGIDFROMLCID(GetUserDefaultLCID()) == MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)) {
        EXPECT_EQ(ParseUserDate("6/1/2024"), 45444.0);
    }
    EXPECT_TRUE(IsNewerExclusionList("2024-06-02", "2024-06-01", false));
    EXPECT_FALSE(IsNewerExclusionList("2024-06-01", "2024-06-01", false));
}
