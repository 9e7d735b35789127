// The scan report and out-of-date list client over MSXML's XMLHTTP and
// XPath, against the canned REST reports of the test responder on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "inventory/database.h"
#include "loopback.h"
#include "platform/files.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "service/scan_report_service.h"
#include "service/win/rest_session_msxml.h"
#include "service/win/talker.h"

using namespace vnxml;
using namespace testing_transport;
using namespace std::chrono_literals;

namespace {

class ScanReportWin : public ::testing::Test {
protected:
    void SetUp() override {
        const std::optional<int> port = ResponderPort();
        if (!port) GTEST_SKIP() << "the loopback servers run only with a host build";
        port_ = *port;
        options_.baseAddress = Url(port_, "/report-api");
        options_.listFile = folder_.str() + inventory::dbfile::kOutdatedProductList;
    }

    std::unique_ptr<CScanReportService> Make(const char* machineId, const char* scanId = "none") {
        platform::AppSettings().WriteText(setting::kMachineId, machineId);
        platform::AppSettings().WriteText(setting::kScanId, scanId);
        auto service = std::make_unique<CScanReportService>(MakeMsxmlRestSessions());
        EXPECT_TRUE(service->Start(options_));
        return service;
    }
    static std::vector<std::string> Names(const CScanReportService& service) {
        std::vector<std::string> names;
        service.CopyOutOfDateNames(names);
        return names;
    }
    // How many report requests the responder has seen for `id` (`kind`
    // "uncached-hits": how many of them asked past every cache).
    int Hits(const std::string& id, const char* kind = "hits") {
        CTalker talker;
        if (!talker.SetAddress(Url(port_, std::string("/report-api/") + kind + "/" + id)) ||
            !talker.Request(false, "GET", "", false))
            return -1;
        return std::atoi(std::string(talker.Reply()).c_str());
    }
    std::string FileBytes() { return platform::ReadWholeFile(options_.listFile).value_or(std::string()); }

    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
    testing_support::TempFolder folder_{"varnel-report"};
    int port_ = 0;
    ScanReportOptions options_;
};

const std::vector<std::string> kListed = {"Zip Tool 9", "Caf\xE9 Editor 2"};

}  // namespace

TEST_F(ScanReportWin, ScanReportStatusesAndFailures) {
    auto service = Make("none");
    ScanReportStatus status = ScanReportStatus::Failed;
    platform::AppSettings().WriteText(setting::kScanId, "progress");
    // A report being polled is the same address each time, and the service
    // allows its replies to be cached: every poll still reaches it.
    const int before = Hits("progress"), uncachedBefore = Hits("progress", "uncached-hits");
    for (int poll = 0; poll < 2; ++poll) {
        ASSERT_TRUE(service->GetScanReport(status));
        EXPECT_EQ(status, ScanReportStatus::InProgress);
    }
    EXPECT_EQ(Hits("progress"), before + 2);
    EXPECT_EQ(Hits("progress", "uncached-hits"), uncachedBefore + 2);
    EXPECT_FALSE(service->UserReportFlag());

    platform::AppSettings().WriteText(setting::kScanId, "complete");
    ASSERT_TRUE(service->GetScanReport(status));
    EXPECT_EQ(status, ScanReportStatus::Complete);
    EXPECT_TRUE(service->UserReportFlag());

    for (const char* failing : {"paused", "missing", "malformed"}) {
        platform::AppSettings().WriteText(setting::kScanId, failing);
        const int before = Hits(failing);
        EXPECT_FALSE(service->GetScanReport(status)) << failing;
        EXPECT_EQ(Hits(failing), before + 1) << failing;
    }
}

TEST_F(ScanReportWin, ListFromTheReplyIsKeptAcrossRuns) {
    const int before = Hits("linked");
    {
        auto service = Make("linked");
        ASSERT_TRUE(service->RequestOutOfDateList(true));
        EXPECT_EQ(Names(*service), kListed);
        EXPECT_EQ(service->OutOfDateCount(), 2);
        EXPECT_TRUE(service->UserReportFlag());
        ASSERT_TRUE(service->RequestOutOfDateList(false));  // within the cache time
        EXPECT_EQ(Hits("linked"), before + 1);
    }
    std::vector<std::string> stored;
    ASSERT_TRUE(inventory::LoadStringListFile(options_.listFile, stored));
    EXPECT_EQ(stored, kListed);

    auto service = Make("unlinked");
    EXPECT_EQ(Names(*service), kListed);  // read at start
    ASSERT_TRUE(service->RequestOutOfDateList(true));
    EXPECT_FALSE(service->UserReportFlag());
}

TEST_F(ScanReportWin, FailedRepliesLeaveListAndFile) {
    options_.cacheSeconds = 0;
    auto service = Make("linked");
    ASSERT_TRUE(service->RequestOutOfDateList(true));
    const std::string file = FileBytes();
    ASSERT_FALSE(file.empty());

    for (const char* failing : {"missing", "malformed", "no-report", "doctype"}) {
        platform::AppSettings().WriteText(setting::kMachineId, failing);
        const int before = Hits(failing);
        EXPECT_FALSE(service->RequestOutOfDateList(true)) << failing;
        EXPECT_EQ(Names(*service), kListed) << failing;
        EXPECT_EQ(FileBytes(), file) << failing;
        EXPECT_EQ(Hits(failing), before + 1) << failing;
    }

    platform::AppSettings().WriteText(setting::kMachineId, "empty");
    ASSERT_TRUE(service->RequestOutOfDateList(true));
    EXPECT_EQ(service->OutOfDateCount(), 0);
}

TEST_F(ScanReportWin, SessionMakesANewRequestObjectAfterAComError) {
    std::unique_ptr<IRestSession> session = MakeMsxmlRestSessions()->Open();
    ASSERT_TRUE(session);
    EXPECT_FALSE(session->Get(Url(ClosedPort(), "/report-api/rest/v1.0/getScanReport?scanId=complete")));
    std::unique_ptr<IRestReply> reply = session->Get(options_.baseAddress + "/rest/v1.0/getScanReport?scanId=complete");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->SelectText(rest_path::kScanStatus).value_or(""), "COMPLETE");
}

TEST_F(ScanReportWin, ARequestWithoutItsReplyInTimeIsGivenUp) {
    const std::string slow = options_.baseAddress + "/rest/v1.0/installed/outOfDateReport?machineId=slow";
    EXPECT_TRUE(MakeMsxmlRestSessions()->Open()->Get(slow)) << "a patient session waits for it";
    std::unique_ptr<IRestSession> impatient = MakeMsxmlRestSessions(300ms)->Open();
    const auto begin = std::chrono::steady_clock::now();
    const bool answered = impatient->Get(slow) != nullptr;
    const auto took = std::chrono::steady_clock::now() - begin;
    if (answered && took >= 1400ms)  // the responder's delay
        GTEST_SKIP() << "Wine's XMLHTTP completes an asynchronous request inside send, so no time limit can end it";
    EXPECT_FALSE(answered);
    EXPECT_LT(took, 1200ms);
    // The session goes on with a new request object.
    EXPECT_TRUE(impatient->Get(options_.baseAddress + "/rest/v1.0/getScanReport?scanId=complete"));
}

TEST_F(ScanReportWin, SlowReplyTimesOutAndStopDoesNotWaitForIt) {
    options_.timeoutMs = 300;
    const int before = Hits("slow");
    auto service = Make("slow");
    auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(service->RequestOutOfDateList(false));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1200ms);
    EXPECT_FALSE(service->RequestOutOfDateList(false));  // the fetch still runs
    ASSERT_TRUE(service->RequestOutOfDateList(true));    // waits for it; then within the cache time
    EXPECT_EQ(Names(*service), kListed);
    EXPECT_EQ(Hits("slow"), before + 1);

    // A stop during a slow fetch returns after its bounded wait, and the late
    // reply writes nothing.
    DeleteFileA(options_.listFile.c_str());
    service = Make("slow");
    EXPECT_FALSE(service->RequestOutOfDateList(false));
    begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(service->Stop(200ms));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1000ms);
    Sleep(2000);
    EXPECT_EQ(GetFileAttributesA(options_.listFile.c_str()), INVALID_FILE_ATTRIBUTES);
}
