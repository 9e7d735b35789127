// The scan engine's decisions over the host's lists, a talker that answers
// as the service would, and a scan-report service that follows a script:
// what a full pass stores and posts, the first-run and agent-update turns,
// a refused check, a failed exchange, the report polling and a stop in it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <deque>

#include "common/posted_texts.h"
#include "common/scan_document_support.h"
#include "common/scoped_hook.h"
#include "engine/scan_engine.h"
#include "inventory/driver_data.h"
#include "inventory/watch_item.h"
#include "inventory/watch_list.h"
#include "inventory/watch_list_test_support.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/message_names.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "scanners/file_cache.h"
#include "scanners/program_discovery.h"
#include "service/scan_report.h"
#include "service/talker.h"

namespace {

using Responder = std::function<std::string(const std::string& request)>;

// Answers every request with what the responder makes of the request file.
struct Service {
    Responder respond;
    std::vector<std::string> requests;
    bool fail = false;
};

class ServiceTalker : public vnxml::ITalker {
public:
    explicit ServiceTalker(Service& s) : s_(s) {}
    void SetStatusWindow(platform::WindowHandle) override {}
    void SetAddress(const std::string&, const std::string&, bool) override {}
    bool SetAddress(const std::string&) override { return true; }
    const vnxml::TalkAddress& Address() const override { return address_; }
    bool Request(bool, const std::string&, std::string_view, bool) override { return false; }
    bool RequestFile(bool, const std::string&, const std::string& path, bool) override {
        s_.requests.push_back(platform::ReadWholeFile(path).value_or(""));
        if (s_.fail) return false;
        reply_ = s_.respond ? s_.respond(s_.requests.back()) : std::string();
        return true;
    }
    uint32_t ErrorText(std::string& text, size_t) const override {
        text = "The server name or address could not be resolved";
        return s_.fail ? 12007 : 0;
    }
    uint32_t HttpStatus() const override { return s_.fail ? 0 : 200; }
    uint32_t Error() const override { return s_.fail ? 12007 : 0; }
    const std::string& StatusText() const override { return empty_; }
    const std::string& ContentType() const override { return empty_; }
    std::string_view Reply() const override { return reply_; }

private:
    Service& s_;
    vnxml::TalkAddress address_;
    std::string empty_;
    std::string reply_;
};

// The installed products the inventory scan finds.
class FixedProducts final : public scanners::IProductScanners {
public:
    bool ScanComponents(VN_WatchList&, const scanners::ItemFromFileFn&) override { return false; }
    bool ScanInstalledProducts(VN_WatchList& list) override {
        for (const auto& item : products) list.AddOrMerge(*item, false, false);
        return false;
    }
    std::vector<wltest::Item> products;
};

class FakeSystem final : public engine::IEngineSystem {
public:
    bool IsConnected() override { return connected; }
    bool BeginThreadCom() override {
        ++comBegun;
        return true;
    }
    void EndThreadCom() override { ++comEnded; }
    void OpenUrl(const std::string& url) override { opened.push_back(url); }
    bool connected = true;
    int comBegun = 0;
    int comEnded = 0;
    std::vector<std::string> opened;
};

class ScriptedReports final : public vnxml::IScanReportService {
public:
    bool GetScanReport(vnxml::ScanReportStatus& status) override {
        ++reportTries;
        if (onReport) onReport();
        if (statuses.empty()) return false;
        const auto next = statuses.front();
        if (statuses.size() > 1) statuses.pop_front();
        if (!next) return false;
        status = *next;
        return true;
    }
    bool RequestOutOfDateList(bool forced) override {
        forcedRequests += forced ? 1 : 0;
        return listAnswer;
    }
    void CopyOutOfDateNames(std::vector<std::string>& out) const override { out = names; }
    int OutOfDateCount() const override { return static_cast<int>(names.size()); }
    bool UserReportFlag() const override { return false; }

    std::deque<std::optional<vnxml::ScanReportStatus>> statuses;  // the last one repeats
    std::function<void()> onReport;
    bool listAnswer = true;
    std::vector<std::string> names{"Old Editor"};
    int reportTries = 0;
    int forcedRequests = 0;
};

std::string Reply(const std::string& status, const std::string& rest = "") {
    return "<?xml version=\"1.0\"?>\n<meridox revision=\"0\"><status>" + status + "</status>" + rest + "</meridox>";
}

// The processor count a request reports; empty when it reports none.
std::string Processors(const std::string& request) {
    const size_t open = request.find("<processors>");
    if (open == std::string::npos) return std::string();
    const size_t from = open + 12;
    return request.substr(from, request.find('<', from) - from);
}

bool IsCheck(const std::string& request) { return request.find("<software.scanned") != std::string::npos; }

class ScanEngine : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vnengine-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        platform::SetShellFolderRoot(root_);
        platform::AppSettings().WriteNumber(setting::kScanDevices, 0);
        talker_.Replace([this] { return std::make_unique<ServiceTalker>(service_); });
        auto products = std::make_unique<FixedProducts>();
        products->products.push_back(wltest::UninstallEntry("Old Editor", "OldEditor", "C:\\OldEditor\\unins.exe"));
        products->products.push_back(wltest::UninstallEntry("Fresh Viewer", "FreshViewer", "C:\\Viewer\\unins.exe"));
        products_.Replace(std::move(products));
        watch_ = std::make_unique<VN_WatchList>(platform::DataFolder());
        watch_->SetServiceFileFolders(platform::DataFolder(), root_ + "\\program\\");
        drivers_ = std::make_unique<Views::CDriverData>(platform::DataFolder());
        engine_ = std::make_unique<engine::VN_ScanEngine>(*watch_, *drivers_, system_);
        engine_->reportPollIntervalMs = 0;
        vnxml::InstallScanReportService(&reports_);
        reports_.statuses = {vnxml::ScanReportStatus::InProgress, vnxml::ScanReportStatus::Complete};
        // The service: a pre-scan gets a scan identifier, a check marks
        // "Old Editor" out of date.
        service_.respond = [this](const std::string& request) {
            if (!IsCheck(request))
                return Reply("<code>0</code><scanid>scan-7</scanid><set-machine-id>m-7</set-machine-id>");
            return Reply("<code>0</code><homepage>http://127.0.0.1/my/</homepage>", Update("Old Editor", "9.0", true));
        };
    }
    void TearDown() override {
        vnxml::InstallScanReportService(nullptr);
        fileid::ProcessFileCache().Close();
        engine_.reset();
        watch_.reset();
        drivers_.reset();
        platform::SetShellFolderRoot("");
        std::system(("rm -rf '" + root_ + "'").c_str());
    }

    VN_WatchItem* Named(const std::string& name) const {
        for (const VN_WatchItem* item : watch_->WatchItems())
            if (item->progName == name) return const_cast<VN_WatchItem*>(item);
        return nullptr;
    }
    std::string Update(const std::string& name, const std::string& version, bool outdated) const {
        VN_WatchItem* item = Named(name);
        const std::string sequence = item ? std::to_string(item->GetSequence()) : "0";
        return "<update><Sequence>" + sequence + "</Sequence><ProgName>" + name + "</ProgName><CurrentVers>" + version +
               "</CurrentVers><Outdated>" + (outdated ? "true" : "false") + "</Outdated></update>";
    }

    // The progress phases, the completion notices and other messages posted, in order.
    std::vector<std::string> Notices() {
        std::vector<std::string> out;
        std::lock_guard<std::mutex> lock(posted_.recorded().mutex);
        for (const auto& m : posted_.recorded().others) {
            if (m.message == platform::RegisterMessage(wmname::kProgress))
                out.push_back("phase " + std::to_string(m.wParam) + "/" + std::to_string(m.lParam));
            else if (m.message == platform::RegisterMessage(wmname::kUpdateComplete))
                out.push_back("complete " + std::to_string(m.wParam) + "/" + std::to_string(m.lParam));
            else if (m.message == platform::RegisterMessage(wmname::kStartDailyUpdates)) out.push_back("start daily");
        }
        return out;
    }
    static std::string Stored(const char* name) { return platform::AppSettings().ReadText(name); }
    bool WatchFileExists() const { return platform::ReadWholeFile(watch_->GetDatabasePath()).has_value(); }

    scandoc::Environment env_;
    testing_transport::PostedTexts posted_;
    testing_support::ScopedHook<vnxml::InstallTalkerFactory> talker_{nullptr};
    testing_support::ScopedHook<scanners::InstallProductScanners> products_{nullptr};
    std::string root_;
    Service service_;
    FakeSystem system_;
    ScriptedReports reports_;
    std::unique_ptr<VN_WatchList> watch_;
    std::unique_ptr<Views::CDriverData> drivers_;
    std::unique_ptr<engine::VN_ScanEngine> engine_;
};

}  // namespace

TEST_F(ScanEngine, AFullPassStoresThePreScanScansChecksSavesPollsAndNotifies) {
    platform::AppSettings().WriteText(setting::kMachineId, "m-7");
    platform::AppSettings().WriteNumber(setting::kIncludeSysInfo, 0);
    engine_->nextScheduledScan = [] { return int64_t{1719600000}; };
    EXPECT_EQ(engine_->Run(engine::WorkerEntry::SearchAllMySoftwareWUpdate), 0);

    ASSERT_EQ(service_.requests.size(), 2u);
    // The user's "Include Sys Info" holds for the pre-scan too: no profile values.
    EXPECT_EQ(Processors(service_.requests[0]), "") << service_.requests[0];
    EXPECT_NE(service_.requests[0].find("2001-01-01"), std::string::npos) << "no exclusion list loaded yet";
    EXPECT_NE(service_.requests[1].find("<scanid>scan-7</scanid>"), std::string::npos);
    EXPECT_EQ(Processors(service_.requests[1]), "");
    EXPECT_EQ(Stored(setting::kScanId), "scan-7");
    EXPECT_EQ(Stored(setting::kHomePageUrl), "http://127.0.0.1/my/");

    ASSERT_NE(Named("Old Editor"), nullptr);
    EXPECT_TRUE(Named("Old Editor")->outdated);
    EXPECT_EQ(Named("Old Editor")->currentVers, "9.0");
    EXPECT_TRUE(WatchFileExists());
    // The list file holds what the check learned.
    VN_WatchList reread(platform::DataFolder());
    reread.Load();
    bool found = false;
    for (const VN_WatchItem* item : reread.WatchItems()) found |= item->progName == "Old Editor" && item->outdated;
    EXPECT_TRUE(found);

    EXPECT_EQ(reports_.reportTries, 2) << "COMPLETE ends the polling";
    EXPECT_EQ(reports_.forcedRequests, 1);
    EXPECT_TRUE(system_.opened.empty()) << "not a first run";
    EXPECT_EQ(system_.comBegun, system_.comEnded);
    EXPECT_EQ(Notices(),
              (std::vector<std::string>{"phase 1/0", "phase 4/0", "phase 6/0", "start daily", "phase 1/1", "phase 2/1",
                                        "phase 3/1", "phase 5/0", "complete 1/1", "phase 7/1"}));
    EXPECT_FALSE(engine_->LastCheckFailed());
}

TEST_F(ScanEngine, TheFileCacheKeepsTheDigestsTheCheckComputed) {
    // A program file the pass finds; its digest is first computed when the
    // check's request is written.
    const std::string program = root_ + "/Viewer/viewer.exe";
    ASSERT_TRUE(platform::CreateDirectories(root_ + "/Viewer"));
    ASSERT_TRUE(platform::WriteFileAtomically(program, "MZ a program"));
    auto products = std::make_unique<FixedProducts>();
    products->products.push_back(wltest::UninstallEntry("Fresh Viewer", "FreshViewer", "C:\\Viewer\\unins.exe"));
    products->products.back()->targetName = program;
    products_.Replace(std::move(products));
    testing_support::ScopedHook<vnxml::InstallScanDocumentServices> services{vnxml::MakePlatformScanDocumentServices()};

    EXPECT_EQ(engine_->Run(engine::WorkerEntry::SearchAllMySoftwareWUpdate), 0);
    ASSERT_EQ(service_.requests.size(), 2u);
    const std::string digest = "<Md5Id src=\"exe\">";
    ASSERT_NE(service_.requests[1].find(digest), std::string::npos) << service_.requests[1];

    const auto text = platform::ReadWholeFile(platform::DataFolder() + "\\" + fileid::kFileCacheName);
    ASSERT_TRUE(text);
    const auto entries = fileid::CFileCache::Parse(*text);
    ASSERT_TRUE(entries);
    const auto entry = entries->find(program);
    ASSERT_NE(entry, entries->end());
    EXPECT_EQ(entry->second.md5.size(), 32u);
    EXPECT_NE(service_.requests[1].find(digest + entry->second.md5 + "</Md5Id>"), std::string::npos);
}

TEST_F(ScanEngine, AFirstRunOpensTheWelcomePageAndAnAgentUpdateEndsALaterPassBeforeTheScan) {
    service_.respond = [](const std::string&) {
        return Reply(
            "<code>0</code><scanid>s</scanid><set-machine-id>m-new</set-machine-id>"
            "<progresspage>http://127.0.0.1/welcome</progresspage>");
    };
    int asked = 0;
    engine_->installClientUpdateNow = [&asked] { return ++asked > 0; };
    engine_->Run(engine::WorkerEntry::SearchAllMySoftwareWUpdate);
    EXPECT_EQ(system_.opened, std::vector<std::string>{"http://127.0.0.1/welcome"});
    EXPECT_EQ(asked, 0) << "no update question on the first run";
    EXPECT_EQ(service_.requests.size(), 2u);
    EXPECT_NE(Processors(service_.requests[0]), "") << "the profile is sent while the user allows it";

    // Now the machine is known: the update is taken and nothing else runs.
    posted_.recorded().others.clear();
    engine_->Run(engine::WorkerEntry::SearchAllMySoftwareWUpdate);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(service_.requests.size(), 3u);
    EXPECT_EQ(Notices(), (std::vector<std::string>{"phase 1/0", "phase 4/0"}));
    EXPECT_EQ(system_.comBegun, system_.comEnded);
}

TEST_F(ScanEngine, ARefusedCheckPostsItsTextsKeepsTheLoginErrorAndEndsWithAFailure) {
    engine_->Run(engine::WorkerEntry::SearchAllMySoftware);
    service_.respond = [](const std::string&) {
        return Reply(
            "<code>3</code><login-email-error>http://127.0.0.1/confirm</login-email-error>"
            "<message>Please confirm your e-mail address.</message>");
    };
    posted_.recorded().others.clear();
    engine_->Run(engine::WorkerEntry::CheckForUpdates);
    EXPECT_EQ(posted_.Texts(),
              (std::vector<std::string>{"", "http://127.0.0.1/confirm", "Please confirm your e-mail address."}));
    EXPECT_EQ(watch_->GetLoginError(), "Please confirm your e-mail address.");
    EXPECT_EQ(Stored(setting::kHomePageUrl), "http://127.0.0.1/confirm");
    EXPECT_EQ(Notices(), (std::vector<std::string>{"start daily", "phase 1/1", "phase 2/1", "phase 3/1", "phase 5/0",
                                                   "complete 0/0", "phase 7/1"}));
    EXPECT_EQ(reports_.reportTries, 0);
    EXPECT_FALSE(engine_->LastCheckFailed()) << "a refused account is not tried again by the schedule";

    // A service error is: a later try may meet a service that works again.
    service_.respond = [](const std::string&) { return Reply("<code>5</code><message>Busy.</message>"); };
    engine_->Run(engine::WorkerEntry::CheckForUpdates);
    EXPECT_TRUE(engine_->LastCheckFailed());
}

TEST_F(ScanEngine, OfflineAFailedExchangeOrAReplyWithoutNewsPostNoSuccess) {
    engine_->Run(engine::WorkerEntry::SearchAllMySoftware);
    const auto savedAt = platform::ReadWholeFile(watch_->GetDatabasePath());

    system_.connected = false;
    posted_.recorded().others.clear();
    engine_->Run(engine::WorkerEntry::CheckForUpdates);
    EXPECT_EQ(Notices(), std::vector<std::string>{"complete 0/0"});
    EXPECT_TRUE(engine_->LastCheckFailed());
    EXPECT_FALSE(engine_->PreScan());
    EXPECT_TRUE(service_.requests.empty());

    system_.connected = true;
    platform::AppSettings().WriteNumber(setting::kSkipExclusionList, 1);
    EXPECT_FALSE(engine_->PreScan());
    EXPECT_TRUE(service_.requests.empty());

    service_.fail = true;
    posted_.recorded().others.clear();
    engine_->Run(engine::WorkerEntry::CheckForUpdates);
    const std::vector<std::string> failed = Notices();
    EXPECT_EQ(failed.back(), "phase 7/1");
    EXPECT_EQ(std::count(failed.begin(), failed.end(), "complete 0/0"), 0);
    EXPECT_EQ(platform::ReadWholeFile(watch_->GetDatabasePath()), savedAt) << "a failed check saves nothing";
    EXPECT_TRUE(engine_->LastCheckFailed());

    // An answer that changes no item's out-of-date state: no notice, no polling.
    service_.fail = false;
    service_.respond = [](const std::string&) { return Reply("<code>0</code>"); };
    posted_.recorded().others.clear();
    engine_->Run(engine::WorkerEntry::CheckForUpdates);
    EXPECT_EQ(Notices().back(), "phase 7/1");
    EXPECT_EQ(reports_.reportTries, 0);
    for (const std::string& n : Notices()) EXPECT_EQ(n.rfind("complete", 0), std::string::npos);
    EXPECT_FALSE(engine_->LastCheckFailed()) << "an answer without news is a check that worked";
}

TEST_F(ScanEngine, ThePollingGivesUpAfterSevenTriesOrAFailedOneAndAStopEndsItSilently) {
    reports_.statuses = {vnxml::ScanReportStatus::InProgress};
    engine_->Run(engine::WorkerEntry::SearchAllMySoftwareWUpdate);
    EXPECT_EQ(reports_.reportTries, 7);
    EXPECT_EQ(reports_.forcedRequests, 0);
    EXPECT_EQ(Notices().end()[-2], "complete 0/1");

    // A failed try ends it after its pause.
    reports_.reportTries = 0;
    reports_.statuses = {vnxml::ScanReportStatus::InProgress, std::nullopt};
    service_.respond = [this](const std::string&) {
        return Reply("<code>0</code>", Update("Old Editor", "9.1", true));
    };
    engine_->Run(engine::WorkerEntry::CheckForUpdates);
    EXPECT_EQ(reports_.reportTries, 2);

    // COMPLETE with an empty list: success without news.
    reports_.statuses = {vnxml::ScanReportStatus::Complete};
    reports_.names.clear();
    service_.respond = [this](const std::string&) {
        return Reply("<code>0</code>", Update("Old Editor", "9.2", true));
    };
    posted_.recorded().others.clear();
    engine_->Run(engine::WorkerEntry::CheckForUpdates);
    EXPECT_EQ(Notices().end()[-2], "complete 0/1");

    // A stop while the engine waits between tries: no notice, no phase.
    reports_.statuses = {vnxml::ScanReportStatus::InProgress};
    reports_.onReport = [this] { watch_->SetStop(); };
    engine_->reportPollIntervalMs = 60000;  // only the stop can end this pause
    service_.respond = [this](const std::string&) {
        return Reply("<code>0</code>", Update("Old Editor", "9.3", true));
    };
    posted_.recorded().others.clear();
    engine_->Run(engine::WorkerEntry::CheckForUpdates);
    EXPECT_EQ(Notices(), (std::vector<std::string>{"start daily", "phase 1/1", "phase 2/1", "phase 3/1", "phase 5/0"}));
}

TEST_F(ScanEngine, WrongItemReportsThatWentOutAreClearedAndSaved) {
    engine_->Run(engine::WorkerEntry::SearchAllMySoftware);
    VN_WatchItem* item = Named("Fresh Viewer");
    ASSERT_NE(item, nullptr);
    item->reportComments = "This is not my viewer";
    item->reportReason = 212;
    engine_->Run(engine::WorkerEntry::CheckForUpdates);
    EXPECT_TRUE(item->reportComments.empty());
    EXPECT_EQ(item->reportReason, 0);
    VN_WatchList reread(platform::DataFolder());
    reread.Load();
    for (const VN_WatchItem* saved : reread.WatchItems()) EXPECT_TRUE(saved->reportComments.empty());
}

TEST_F(ScanEngine, AReportOfAReasonWithoutCommentsGoesOutWithTheCheckAndIsCleared) {
    engine_->Run(engine::WorkerEntry::SearchAllMySoftware);
    VN_WatchItem* item = Named("Fresh Viewer");
    ASSERT_NE(item, nullptr);
    item->reportReason = 183;  // "Product name is incorrect": no comments needed
    std::string check;
    const auto respond = service_.respond;
    service_.respond = [&](const std::string& request) {
        if (IsCheck(request)) check = request;
        return respond(request);
    };
    engine_->Run(engine::WorkerEntry::CheckForUpdates);
    EXPECT_NE(check.find("\t<submission>\n\t\t<reason>Product name is incorrect</reason>\n\t\t<comments></comments>\n"),
              std::string::npos);
    EXPECT_EQ(item->reportReason, 0);
}
